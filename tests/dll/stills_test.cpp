// Stills through the DLL: the test camera's still pin at each of its sizes
// on the software trigger, its button with the host's window told, a device
// without a still pin, a device whose trigger fails, and the refusals. The
// files vlx_SaveStill writes are read back with Pillow by
// check_still_images.py (StillImageFilesOfStills).
#include "dll/capture_fixture.h"
#include "dll/device_health.h"
#include "support/frame_check.h"
#include "support/message_window.h"
#include "support/text_lines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vlx_test {
namespace {

struct StillExports {
    decltype(&vlx_GetStillFormatList) GetStillFormatList;
    decltype(&vlx_GetStillFormatListSize) GetStillFormatListSize;
    decltype(&vlx_SetStillSize) SetStillSize;
    decltype(&vlx_TriggerStill) TriggerStill;
    decltype(&vlx_WaitStill) WaitStill;
    decltype(&vlx_GetStill) GetStill;
    decltype(&vlx_SaveStill) SaveStill;
    decltype(&vlx_SetStillNotify) SetStillNotify;
    decltype(&vlxcam_PressButton) PressButton;
};

template <class Fn>
void find(HMODULE module, Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!fn) std::abort();
}

const StillExports& still_exports() {
    static const StillExports loaded = [] {
        vidlox();
        const HMODULE library = GetModuleHandleW(L"vidlox64.dll");
        StillExports s{};
        find(library, s.GetStillFormatList, "vlx_GetStillFormatList");
        find(library, s.GetStillFormatListSize, "vlx_GetStillFormatListSize");
        find(library, s.SetStillSize, "vlx_SetStillSize");
        find(library, s.TriggerStill, "vlx_TriggerStill");
        find(library, s.WaitStill, "vlx_WaitStill");
        find(library, s.GetStill, "vlx_GetStill");
        find(library, s.SaveStill, "vlx_SaveStill");
        find(library, s.SetStillNotify, "vlx_SetStillNotify");
        find(LoadLibraryW(L"vidlox-testcam64.dll"), s.PressButton, "vlxcam_PressButton");
        return s;
    }();
    return loaded;
}

constexpr UINT kStillMessage = WM_APP + 7;

struct Still {
    int32_t result = 0;
    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
    int64_t info[VLX_STILL_INFO_COUNT] = {};
    int32_t width() const { return header.bmiHeader.biWidth; }
    int32_t height() const { return header.bmiHeader.biHeight; }
    int32_t mark() const { return vlxcam_read_still_mark(pixels.data(), width(), height()); }
    uint32_t painted_number() const { return frame_number(pixels.data(), width(), height()); }
};

class Stills : public Capture {
protected:
    void TearDown() override {
        close_every_slot();
        for (int32_t slot : {0, 1}) {
            v.SetActiveSel(slot);
            s.SetStillSize(0, 0);  // the next test's slots ask for none
        }
        Capture::TearDown();
    }
    std::vector<std::string> still_list(int32_t device) {
        const int32_t size = s.GetStillFormatListSize(device);
        std::vector<char> text(static_cast<size_t>(size > 0 ? size : 1), '\0');
        EXPECT_GE(s.GetStillFormatList(text.data(), device), 0);
        EXPECT_EQ(std::strlen(text.data()) + 1, static_cast<size_t>(size));
        return split_lines(text.data());
    }
    // Opens `device` in slot 0 (after `width` x `height` was asked for, when
    // given) and runs it until its first frame.
    void run(int32_t device, int32_t width = 0, int32_t height = 0) {
        if (width) {
            ASSERT_EQ(s.SetStillSize(width, height), 0);
        }
        ASSERT_EQ(v.Open(device, 6, 0, 0, 0), 0);
        ASSERT_GE(v.Play2(), 0);
        std::vector<uint8_t> frame(static_cast<size_t>(v.GetImageMemSize(0)));
        BITMAPINFO header{};
        ASSERT_EQ(wait_for_frame(frame, header), 0);
    }
    Still take() {
        Still still;
        EXPECT_EQ(s.WaitStill(5000), 0);
        int32_t size = 0;
        still.result = s.GetStill(nullptr, &size, &still.header, nullptr);
        if (still.result != 0) return still;
        still.pixels.resize(static_cast<size_t>(size));
        still.result = s.GetStill(still.pixels.data(), &size, &still.header, still.info);
        return still;
    }
    std::string path_of(int32_t device) { return split_lines(device_path_list(0))[static_cast<size_t>(device)]; }
    std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
    static int64_t now() {
        LARGE_INTEGER ticks, frequency;
        QueryPerformanceCounter(&ticks);
        QueryPerformanceFrequency(&frequency);
        return ticks.QuadPart / frequency.QuadPart * 10'000'000 +
               ticks.QuadPart % frequency.QuadPart * 10'000'000 / frequency.QuadPart;
    }

    const StillExports& s = still_exports();
};

TEST_F(Stills, EverySizeOfTheStillPinOnTheTriggerWhileTheCaptureRunsSmall) {
    const std::vector<std::string> sizes{"3840 2160 RGB24 0 VIDEOINFOHEADER", "1920 1080 RGB24 1 VIDEOINFOHEADER",
                                         "1280 720 RGB24 2 VIDEOINFOHEADER", "640 480 RGB24 3 VIDEOINFOHEADER"};
    ASSERT_EQ(still_list(camera), sizes);
    char log[16384] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    run(camera, 3840, 2160);
    EXPECT_NE(std::string(log).find("1 vlx_Open->CaptureGraphBuilder2->RenderStream(Still) = S_OK\r\n"
                                    "1 vlx_Open->StillGrabber->SetCallback = S_OK\r\n"),
              std::string::npos)
        << "asked for before vlx_Open, the branch is vlx_Open's: " << log;
    EXPECT_NE(std::string(log).find("1 vlx_Open->AMVideoControl->SetMode(ExternalTriggerEnable) = S_OK"),
              std::string::npos);
    reset_reporting();
    char filters[512] = "";
    v.StreamFilterList(filters);
    for (const char* name : {"Still Grabber\r\n", "Still Renderer\r\n"}) EXPECT_NE(std::strstr(filters, name), nullptr);

    for (size_t k = 0; k < sizes.size(); ++k) {
        int32_t width = 0, height = 0;
        std::sscanf(sizes[k].c_str(), "%d %d", &width, &height);
        if (k > 0) {
            // A new size on the stopped slot: the still pin is connected again.
            ASSERT_EQ(v.Stop(), 0);
            ASSERT_EQ(s.SetStillSize(width, height), 0);
            ASSERT_GE(v.Play2(), 0);
        }
        const int64_t asked = now();
        ASSERT_EQ(s.TriggerStill(), 0) << width;
        const Still still = take();
        ASSERT_EQ(still.result, 0) << width;
        EXPECT_EQ(still.width(), width);
        EXPECT_EQ(still.height(), height) << "bottom-up, as the camera sends it";
        EXPECT_EQ(still.pixels.size(), size_t(width) * height * 3);
        EXPECT_EQ(still.info[VLX_STILL_NUMBER], int64_t(k + 1));
        EXPECT_EQ(still.painted_number(), k + 1) << "the camera's own count of its stills";
        EXPECT_EQ(still.info[VLX_STILL_SOURCE], VLX_STILL_FROM_TRIGGER);
        EXPECT_EQ(still.mark(), VLXCAM_STILL_OF_TRIGGER);
        EXPECT_NE(still.info[VLX_STILL_SAMPLE_TIME], -1) << "the still pin stamps its stills";
        EXPECT_GE(still.info[VLX_STILL_ARRIVAL], asked);
        EXPECT_LE(still.info[VLX_STILL_ARRIVAL], now());
        EXPECT_EQ(v.GetImageMemSize(0), 640 * 480 * 3) << "the capture goes on at its own size";
        EXPECT_EQ(s.WaitStill(0), 1) << "each still once";
    }
}

TEST_F(Stills, TheButtonSendsAStillAndTheWindowIsToldOfEach) {
    run(camera, 640, 480);
    MessageWindow window(kStillMessage);
    ASSERT_EQ(s.SetStillNotify(window.handle(), kStillMessage), 0);
    const std::wstring path = wide(path_of(camera));
    ASSERT_EQ(s.PressButton(path.c_str()), 0);
    const Still pressed = take();
    ASSERT_EQ(pressed.result, 0);
    EXPECT_EQ(pressed.info[VLX_STILL_SOURCE], VLX_STILL_FROM_BUTTON);
    EXPECT_EQ(pressed.mark(), VLXCAM_STILL_OF_BUTTON);
    ASSERT_EQ(s.TriggerStill(), 0);
    const Still triggered = take();
    EXPECT_EQ(triggered.info[VLX_STILL_SOURCE], VLX_STILL_FROM_TRIGGER);
    EXPECT_EQ(triggered.info[VLX_STILL_NUMBER], 2);
    std::vector<PostedMessage> told;
    for (int i = 0; i < 100 && told.size() < 2; ++i, Sleep(10)) told = window.pump();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].wparam, 0u);
    EXPECT_EQ(told[0].lparam, VLX_STILL_FROM_BUTTON);
    EXPECT_EQ(told[1].lparam, VLX_STILL_FROM_TRIGGER);

    // What a press answers: a device that nobody streams, one without a
    // still pin, a path of no device.
    const int32_t twin = device_index(VLXCAM_NAME_TWIN);
    const struct {
        std::wstring path;
        int32_t pressed;
    } presses[] = {{wide(path_of(twin)), -2}, {L"no such path", -1}, {path, 1}};
    ASSERT_EQ(v.Close(), 0);
    for (const auto& press : presses) EXPECT_EQ(s.PressButton(press.path.c_str()), press.pressed);
}

TEST_F(Stills, ADeviceWithoutAStillPinGivesItsNextCaptureFrames) {
    const int32_t twin = device_index(VLXCAM_NAME_TWIN);
    EXPECT_TRUE(still_list(twin).empty());
    ASSERT_EQ(v.Open(twin, 6, 0, 0, 0), 0);
    EXPECT_EQ(s.SetStillSize(1920, 1080), 1) << "no still pin: nothing to build";
    ASSERT_GE(v.Play2(), 0);
    ASSERT_EQ(s.TriggerStill(), 0);
    ASSERT_EQ(s.TriggerStill(), 0);
    const Still first = take(), second = take();
    for (const Still* still : {&first, &second}) {
        ASSERT_EQ(still->result, 0);
        EXPECT_EQ(still->width(), 640);
        EXPECT_EQ(still->height(), 480);
        EXPECT_EQ(still->info[VLX_STILL_SOURCE], VLX_STILL_FROM_CAPTURE);
        EXPECT_EQ(still->mark(), VLXCAM_NOT_A_STILL);
        EXPECT_EQ(corner_problem(still->pixels.data(), 640, 480), "");
    }
    EXPECT_GT(second.painted_number(), first.painted_number()) << "a later capture frame";
    EXPECT_EQ(first.info[VLX_STILL_NUMBER], 1);
    EXPECT_EQ(second.info[VLX_STILL_NUMBER], 2);
}

TEST_F(Stills, Refusals) {
    MessageWindow window(kStillMessage);
    int32_t size = 64;
    std::vector<uint8_t> pixels(64);
    BITMAPINFO header{};
    const auto get = [&] { return s.GetStill(pixels.data(), &size, &header, nullptr); };
    const auto save = [&] { return s.SaveStill(L"never.png", 2, -1, 0, 0); };
    const auto notify = [&](HWND to) { return s.SetStillNotify(to, kStillMessage); };
    struct Expected {
        const char* what;
        int32_t trigger, wait, take, saved;
    };
    const auto expect = [&](const Expected& e) {
        EXPECT_EQ(s.TriggerStill(), e.trigger) << e.what;
        EXPECT_EQ(s.WaitStill(0), e.wait) << e.what;
        EXPECT_EQ(get(), e.take) << e.what;
        EXPECT_EQ(save(), e.saved) << e.what;
    };
    expect({"closed", -1, -1, -1, -1});
    EXPECT_EQ(notify(window.handle()), -1);
    EXPECT_EQ(notify(nullptr), 0);
    for (const auto& [width, height] : {std::pair{-1, 480}, {0, 480}, {640, 0}}) EXPECT_EQ(s.SetStillSize(width, height), -2);

    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);  // asked for no stills
    expect({"stopped", -2, -2, -7, -7});
    EXPECT_EQ(s.SetStillSize(1000, 1000), -5) << "no such still size";
    EXPECT_EQ(notify(reinterpret_cast<HWND>(1)), -2);
    ASSERT_GE(v.Play2(), 0);
    expect({"running without a still branch", -3, 1, -7, -7});
    EXPECT_EQ(s.SetStillSize(640, 480), -3) << "a running graph takes no branch";
    EXPECT_EQ(s.GetStill(pixels.data(), nullptr, &header, nullptr), -5);
    ASSERT_EQ(v.Stop(), 0);
    EXPECT_EQ(s.SetStillSize(640, 480), 0) << "built on the stopped slot";
    ASSERT_GE(v.Play2(), 0);
    ASSERT_EQ(s.TriggerStill(), 0);
    ASSERT_EQ(s.WaitStill(5000), 0);
    EXPECT_EQ(get(), -4);
    EXPECT_EQ(size, 640 * 480 * 3) << "the bytes it needs";
    EXPECT_EQ(s.SaveStill(L"never.png", 9, -1, 0, 0), -11);
    EXPECT_EQ(s.WaitStill(0), 0) << "a still too large for the buffer, or not written, waits on";
    ASSERT_EQ(v.Close(), 0);

    const int32_t fails = device_index(VLXCAM_NAME_STILL_FAILS);
    run(fails, 640, 480);
    EXPECT_EQ(s.TriggerStill(), -5);
    EXPECT_EQ(static_cast<uint32_t>(v.GetLastError()), 0x8007001Fu) << "the device's own answer";
    EXPECT_EQ(s.WaitStill(300), 1) << "no still comes";
    // A failed trigger is owed no still: the next one is the button's.
    ASSERT_EQ(s.PressButton(wide(path_of(fails)).c_str()), 0);
    EXPECT_EQ(take().info[VLX_STILL_SOURCE], VLX_STILL_FROM_BUTTON);
}

// Stills of every source for check_still_images.py to read with Pillow.
class StillImageFilesOfStills : public Stills {};

TEST_F(StillImageFilesOfStills, ThePinTheButtonAndACaptureFrame) {
    const char* folder = std::getenv("VLX_STILL_PICTURES");
    if (!folder) GTEST_SKIP() << "run by check_still_images.py";
    const std::wstring base = wide(folder) + L"\\";
    run(camera, 3840, 2160);
    ASSERT_EQ(s.TriggerStill(), 0);
    ASSERT_EQ(s.WaitStill(5000), 0);
    EXPECT_EQ(s.SaveStill((base + L"still.png").c_str(), 2, -1, 0, 0), 0);
    ASSERT_EQ(s.PressButton(wide(path_of(camera)).c_str()), 0);
    ASSERT_EQ(s.WaitStill(5000), 0);
    EXPECT_EQ(s.SaveStill((base + L"button.jpg").c_str(), 1, 90, 1920, 1080), 0);
    ASSERT_EQ(v.Close(), 0);
    run(device_index(VLXCAM_NAME_TWIN));
    ASSERT_EQ(s.TriggerStill(), 0);
    ASSERT_EQ(s.WaitStill(5000), 0);
    EXPECT_EQ(s.SaveStill((base + L"capture.bmp").c_str(), 0, -1, 0, 0), 0);
}

}  // namespace
}  // namespace vlx_test
