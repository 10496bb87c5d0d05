// Camera controls through the DLL on the test camera: every control's range,
// default and round trips, refusals that never reach the device, the list,
// and brightness seen in the picture.
#include "dll/capture_fixture.h"
#include "support/frame_check.h"
#include "support/text_lines.h"

#include <algorithm>
#include <cstring>

namespace vlx_test {
namespace {

// The extension's exports, resolved as a script host resolves them.
struct ControlExports {
    decltype(&vlx_GetControlRange) GetControlRange;
    decltype(&vlx_GetControl) GetControl;
    decltype(&vlx_SetControl) SetControl;
    decltype(&vlx_GetControlList) GetControlList;
    decltype(&vlx_GetControlListSize) GetControlListSize;
};

template <class Fn>
Fn resolve(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const ControlExports& controls() {
    static const ControlExports exports = [] {
        vidlox();  // loaded
        const HMODULE dll = GetModuleHandleW(L"vidlox64.dll");
        return ControlExports{resolve<decltype(&vlx_GetControlRange)>(dll, "vlx_GetControlRange"),
                              resolve<decltype(&vlx_GetControl)>(dll, "vlx_GetControl"),
                              resolve<decltype(&vlx_SetControl)>(dll, "vlx_SetControl"),
                              resolve<decltype(&vlx_GetControlList)>(dll, "vlx_GetControlList"),
                              resolve<decltype(&vlx_GetControlListSize)>(dll, "vlx_GetControlListSize")};
    }();
    return exports;
}

int32_t camera_set_calls() {
    static const auto count = resolve<int32_t(__cdecl*)()>(LoadLibraryW(L"vidlox-testcam64.dll"),
                                                           "vlxcam_ControlSetCalls");
    return count();
}

// The test camera's table (vidlox_testcam.h) and a valid value other than
// the default; modes 0 for a property it lacks.
struct Expected {
    int32_t id, minimum, maximum, step, default_value, modes, other;
};
const Expected kTable[] = {
    {VLX_CONTROL_BRIGHTNESS, 0, 255, 1, 128, 2, 200},
    {VLX_CONTROL_CONTRAST, 0, 255, 1, 128, 2, 0},
    {VLX_CONTROL_HUE, 0, 0, 0, 0, 0, 0},
    {VLX_CONTROL_SATURATION, 0, 255, 1, 128, 2, 255},
    {VLX_CONTROL_SHARPNESS, 0, 255, 1, 128, 2, 3},
    {VLX_CONTROL_GAMMA, 72, 500, 1, 100, 2, 500},
    {VLX_CONTROL_COLOR_ENABLE, 0, 0, 0, 0, 0, 0},
    {VLX_CONTROL_WHITE_BALANCE, 2800, 6500, 10, 4600, 3, 2810},
    {VLX_CONTROL_BACKLIGHT_COMPENSATION, 0, 1, 1, 0, 2, 1},
    {VLX_CONTROL_GAIN, 0, 255, 1, 0, 2, 255},
    {VLX_CONTROL_PAN, -36000, 36000, 3600, 0, 2, -36000},
    {VLX_CONTROL_TILT, -36000, 36000, 3600, 0, 2, 7200},
    {VLX_CONTROL_ROLL, 0, 0, 0, 0, 0, 0},
    {VLX_CONTROL_ZOOM, 100, 500, 1, 100, 2, 250},
    {VLX_CONTROL_EXPOSURE, -13, -1, 1, -6, 3, -13},
    {VLX_CONTROL_IRIS, 0, 0, 0, 0, 0, 0},
    {VLX_CONTROL_FOCUS, 10, 250, 8, 50, 3, 18},
};

class Controls : public Capture {
protected:
    std::pair<int32_t, int32_t> held(int32_t id) {
        int32_t value = -99, mode = -99;
        EXPECT_EQ(c.GetControl(id, &value, &mode), 0) << id;
        return {value, mode};
    }
    std::string list() {
        const int32_t size = c.GetControlListSize();
        std::string text(static_cast<size_t>(std::max(size, 1)) + 8, '#');
        text[0] = '\0';
        c.GetControlList(text.data());
        EXPECT_EQ(text.substr(static_cast<size_t>(size)), std::string(8, '#')) << "written past the size";
        return text.c_str();
    }

    const ControlExports& c = controls();
};

TEST_F(Controls, RangesDefaultsAndRoundTripsThatPersistAcrossStopAndRun) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    const int32_t sets_before = camera_set_calls();
    int expected_sets = 0;
    for (const Expected& e : kTable) {
        SCOPED_TRACE(e.id);
        int32_t range[5] = {};
        if (e.modes == 0) {
            EXPECT_EQ(c.GetControlRange(e.id, &range[0], &range[1], &range[2], &range[3], &range[4]), -6);
            EXPECT_EQ(c.GetControl(e.id, &range[0], &range[1]), -6);
            EXPECT_EQ(c.SetControl(e.id, 0, VLX_CONTROL_MANUAL), -6);
            continue;
        }
        ASSERT_EQ(c.GetControlRange(e.id, &range[0], &range[1], &range[2], &range[3], &range[4]), 0);
        EXPECT_EQ(std::vector<int32_t>(range, range + 5),
                  (std::vector<int32_t>{e.minimum, e.maximum, e.step, e.default_value, e.modes}));
        const int32_t first_mode = e.modes == 3 ? VLX_CONTROL_AUTO : VLX_CONTROL_MANUAL;
        EXPECT_EQ(held(e.id), std::make_pair(e.default_value, first_mode));
        EXPECT_EQ(c.SetControl(e.id, e.other, VLX_CONTROL_MANUAL), 0);
        EXPECT_EQ(held(e.id), std::make_pair(e.other, VLX_CONTROL_MANUAL));
        expected_sets += 1;
        if (e.modes == 3) {
            EXPECT_EQ(c.SetControl(e.id, e.other, VLX_CONTROL_AUTO), 0);
            EXPECT_EQ(held(e.id), std::make_pair(e.default_value, VLX_CONTROL_AUTO));
            EXPECT_EQ(c.SetControl(e.id, e.other, VLX_CONTROL_MANUAL), 0);
            expected_sets += 2;
        }
    }
    EXPECT_EQ(camera_set_calls() - sets_before, expected_sets);
    for (int run = 0; run < 2; ++run) {
        ASSERT_GE(run ? v.Play2() : v.Stop(), 0);
        for (const Expected& e : kTable) {
            if (!e.modes) continue;
            EXPECT_EQ(held(e.id), std::make_pair(e.other, VLX_CONTROL_MANUAL)) << e.id << " run " << run;
        }
    }
}

TEST_F(Controls, RefusalsNeverReachTheDevice) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);  // open, not running
    std::string log(4096, '\0');
    v.SetLogBuffer(log.data(), static_cast<int32_t>(log.size()));
    v.SetLogLevel(2);
    const int32_t sets_before = camera_set_calls();
    const struct {
        int32_t id, value, mode, expected;
    } refusals[] = {
        {VLX_CONTROL_FOCUS, 11, 2, -7},   {VLX_CONTROL_FOCUS, 16, 2, -7},  // on 8s from 0, not from the minimum 10
        {VLX_CONTROL_FOCUS, 258, 2, -7},  {VLX_CONTROL_FOCUS, 2, 2, -7},   {VLX_CONTROL_BRIGHTNESS, 256, 2, -7},
        {VLX_CONTROL_BRIGHTNESS, -1, 2, -7}, {VLX_CONTROL_BRIGHTNESS, 128, 0, -8}, {VLX_CONTROL_BRIGHTNESS, 128, 3, -8},
        {VLX_CONTROL_BRIGHTNESS, 128, 1, -8},  // no automatic brightness
        {10, 0, 2, -3},  {99, 0, 2, -3},  {107, 0, 2, -3},  {-1, 0, 2, -3},  {VLX_CONTROL_IRIS, 0, 2, -6},
    };
    for (const auto& r : refusals) EXPECT_EQ(c.SetControl(r.id, r.value, r.mode), r.expected) << r.id << " " << r.value;
    EXPECT_EQ(camera_set_calls(), sets_before);
    const std::string logged = log.c_str();
    EXPECT_EQ(logged.find("->Set "), std::string::npos) << logged;
    EXPECT_NE(logged.find("1 vlx_SetControl->DeviceFilter->QueryInterface(CameraControl) = S_OK\r\n"
                       "1 vlx_SetControl->CameraControl->GetRange = S_OK\r\n"),
              std::string::npos);
    EXPECT_EQ(held(VLX_CONTROL_FOCUS), std::make_pair(50, VLX_CONTROL_AUTO));

    int32_t n = 0;
    EXPECT_EQ(c.GetControlRange(0, &n, &n, &n, &n, nullptr), -4);
    EXPECT_EQ(c.GetControl(0, &n, nullptr), -4);
    EXPECT_EQ(c.GetControlList(nullptr), -4);
    v.SetActiveSel(1);  // closed
    EXPECT_EQ(c.GetControl(0, &n, &n), -2);
    EXPECT_EQ(c.SetControl(0, 128, 2), -2);
    EXPECT_EQ(c.GetControlListSize(), -2);
    v.SetActiveSel(0);
    v.Exit();
    EXPECT_EQ(c.GetControlRange(0, &n, &n, &n, &n, &n), -1);
    EXPECT_EQ(c.GetControlListSize(), -1);
    ASSERT_EQ(v.Init(), 0);
}

TEST_F(Controls, DeviceWithoutTheInterfaces) {
    const int32_t no_pins = device_index(VLXCAM_NAME_NO_PINS);
    ASSERT_GE(no_pins, 0);
    ASSERT_EQ(v.Open(no_pins, 5, 0, 0, 0), 0);  // no renderer branch: a device without pins opens
    int32_t n = 0;
    EXPECT_EQ(c.GetControlRange(VLX_CONTROL_BRIGHTNESS, &n, &n, &n, &n, &n), -5);
    EXPECT_EQ(c.GetControl(VLX_CONTROL_FOCUS, &n, &n), -5);
    EXPECT_EQ(c.SetControl(VLX_CONTROL_ZOOM, 100, 2), -5);
    EXPECT_EQ(c.GetControlListSize(), 1);
    char text[8] = "x";
    EXPECT_EQ(c.GetControlList(text), 0);
    EXPECT_STREQ(text, "x");
}

TEST_F(Controls, ADeviceThatHoldsAnotherValueAnswers1) {
    const int32_t coarse = device_index(VLXCAM_NAME_COARSE_CONTROLS);
    ASSERT_GE(coarse, 0);
    ASSERT_EQ(v.Open(coarse, 6, 0, 0, 0), 0);
    EXPECT_EQ(c.SetControl(VLX_CONTROL_BRIGHTNESS, 130, VLX_CONTROL_MANUAL), 1);
    EXPECT_EQ(held(VLX_CONTROL_BRIGHTNESS), std::make_pair(128, VLX_CONTROL_MANUAL));
    EXPECT_EQ(c.SetControl(VLX_CONTROL_BRIGHTNESS, 132, VLX_CONTROL_MANUAL), 0);
    EXPECT_EQ(c.SetControl(VLX_CONTROL_FOCUS, 34, VLX_CONTROL_MANUAL), 1);
    EXPECT_EQ(held(VLX_CONTROL_FOCUS), std::make_pair(10, VLX_CONTROL_MANUAL));
    EXPECT_EQ(c.SetControl(VLX_CONTROL_FOCUS, 0, VLX_CONTROL_AUTO), 0);
}

TEST_F(Controls, ListMatchesTheSingleCallsAndItsSizeByteForByte) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    ASSERT_EQ(c.SetControl(VLX_CONTROL_EXPOSURE, -13, VLX_CONTROL_MANUAL), 0);
    const std::string text = list();
    EXPECT_EQ(static_cast<int32_t>(text.size()) + 1, c.GetControlListSize());
    const std::vector<std::string> lines = split_lines(text);
    EXPECT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "0\tbrightness\t          0\t        255\t          1\t        128\t          2\t        128"
                        "\t          2");
    size_t line = 0;
    for (const Expected& e : kTable) {
        if (!e.modes || line >= lines.size()) continue;
        const auto [value, mode] = held(e.id);
        char wanted[160];
        std::snprintf(wanted, sizeof wanted, "\t%11d\t%11d\t%11d\t%11d\t%11d\t%11d\t%11d", e.minimum, e.maximum, e.step,
                      e.default_value, e.modes, value, mode);
        EXPECT_EQ(lines[line].substr(lines[line].find('\t', lines[line].find('\t') + 1)), wanted) << lines[line];
        EXPECT_EQ(std::stoi(lines[line++]), e.id);
    }
}

// Every stripe byte moves by brightness - 128 (clamped); corners do not, and
// the frame-number cells still read. Frames 8 apart have the same stripes
// (outside the flash band, white in one frame a second).
TEST_F(Controls, BrightnessShiftsTheStripesOfGrabbedFrames) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    std::vector<uint8_t> before(static_cast<size_t>(v.GetImageMemSize(0))), after(before.size());
    BITMAPINFO header{};
    ASSERT_EQ(wait_for_frame(before, header), 0);
    const int32_t w = header.bmiHeader.biWidth, h = header.bmiHeader.biHeight;
    const uint32_t first = frame_number(before.data(), w, h);
    for (const int32_t brightness : {60, 255}) {
        ASSERT_EQ(c.SetControl(VLX_CONTROL_BRIGHTNESS, brightness, VLX_CONTROL_MANUAL), 0);
        const uint32_t set_at = grab_frame_number();
        uint32_t number = 0;
        for (const ULONGLONG end = GetTickCount64() + 10000; GetTickCount64() < end;) {
            ASSERT_EQ(wait_for_frame(after, header), 0);
            number = frame_number(after.data(), w, h);
            if (number > set_at + 1 && (number - first) % 8 == 0) break;
        }
        ASSERT_EQ((number - first) % 8, 0u) << "no frame in the first one's stripe phase";
        int wrong = 0;
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const bool corner = (x < w / 8 || x >= w - w / 8) && (y < h / 8 || y >= h - h / 8);
                const bool cell = y >= 7 * h / 16 && y < 9 * h / 16 && x >= w / 4 && x < w / 4 + 32 * (w / 64);
                const bool flash_band = y >= VLXCAM_FLASH_TOP_SIXTEENTHS * h / 16 && y < VLXCAM_FLASH_BOTTOM_SIXTEENTHS * h / 16;
                const Rgb was = pixel_at(before.data(), w, h, x, y), is = pixel_at(after.data(), w, h, x, y);
                const auto shifted = [&](uint8_t b) { return static_cast<uint8_t>(std::clamp(b + brightness - 128, 0, 255)); };
                const Rgb wanted = corner ? was : Rgb{shifted(was.r), shifted(was.g), shifted(was.b)};
                if (!cell && !flash_band && !(is == wanted) && wrong++ == 0) ADD_FAILURE() << "first wrong pixel " << x << "," << y;
            }
        }
        EXPECT_EQ(wrong, 0) << "brightness " << brightness;
    }
}

}  // namespace
}  // namespace vlx_test
