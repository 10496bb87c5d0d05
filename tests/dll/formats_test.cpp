// Capture formats: every capability of a device, the one capability a host
// asks for (exact or nearest), and the format in force, on the test
// camera's devices through the shipped DLL.
#include "dll/capture_fixture.h"
#include "support/category_entry.h"
#include "support/frame_check.h"
#include "support/text_lines.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

// The extension's exports, looked up as a script host looks them up.
struct FormatExports {
    decltype(&vlx_GetFormatList) GetFormatList;
    decltype(&vlx_GetFormatListSize) GetFormatListSize;
    decltype(&vlx_SetDevSubtype) SetDevSubtype;
    decltype(&vlx_SetDevFormatChoice) SetDevFormatChoice;
    decltype(&vlx_GetDevFormat) GetDevFormat;
};

template <class Fn>
Fn resolve(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"vidlox64.dll"), name)));
}

const FormatExports& formats() {
    static const FormatExports exports{
        resolve<decltype(&vlx_GetFormatList)>("vlx_GetFormatList"),
        resolve<decltype(&vlx_GetFormatListSize)>("vlx_GetFormatListSize"),
        resolve<decltype(&vlx_SetDevSubtype)>("vlx_SetDevSubtype"),
        resolve<decltype(&vlx_SetDevFormatChoice)>("vlx_SetDevFormatChoice"),
        resolve<decltype(&vlx_GetDevFormat)>("vlx_GetDevFormat")};
    return exports;
}

class Formats : public Capture {
protected:
    void SetUp() override {
        Capture::SetUp();
        webcam = device_index(VLXCAM_NAME_WEBCAM);
        ASSERT_GE(webcam, 0);
    }
    void TearDown() override {
        for (int32_t slot = 0; slot < VLX_SLOT_COUNT; ++slot) {
            v.SetActiveSel(slot);
            f.SetDevSubtype(nullptr);
            f.SetDevFormatChoice(VLX_FORMAT_CHOICE_ALL);
        }
        Capture::TearDown();
    }
    void request(const char* subtype, int32_t width, int32_t height, double rate, int32_t choice) {
        ASSERT_EQ(f.SetDevSubtype(subtype), 0);
        v.SetDevWidth(width);
        v.SetDevHeight(height);
        v.SetDevFrameRate(rate);
        ASSERT_EQ(f.SetDevFormatChoice(choice), 0);
    }
    // "MJPG 1280x720 30.00", as vlx_GetDevFormat tells it, or its code.
    std::string format_in_force() {
        char subtype[VLX_SUBTYPE_TEXT_SIZE] = "";
        int32_t width = 0, height = 0;
        double rate = 0;
        const int32_t result = f.GetDevFormat(subtype, &width, &height, &rate);
        if (result != 0) return "code " + std::to_string(result);
        char text[64];
        std::snprintf(text, sizeof text, "%s %dx%d %.2f", subtype, int(width), int(height), rate);
        return text;
    }
    std::string list_of(int32_t index) {
        const int32_t size = f.GetFormatListSize(index);
        if (size < 1) return "code " + std::to_string(size);
        std::string text(static_cast<size_t>(size), '\0');
        const int32_t lines = f.GetFormatList(text.data(), index);
        text.resize(text.find('\0'));
        EXPECT_EQ(text.size() + 1, static_cast<size_t>(size)) << "the size query counts what the list writes";
        return lines < 0 ? "code " + std::to_string(lines) : text;
    }
    // Opens `device` in mode 6 with the log at level 2; the log of the open.
    std::string logged_open(int32_t device, int32_t expected) {
        static char log[65536];
        log[0] = '\0';
        v.SetLogBuffer(log, sizeof log);
        v.SetLogLevel(2);
        EXPECT_EQ(v.Open(device, 6, 0, 0, 0), expected);
        reset_reporting();
        return log;
    }
    static size_t count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

    const FormatExports& f = formats();
    int32_t webcam = -1;
};

std::string lines(const char* subtype, std::initializer_list<const char*> sizes_and_rates, const char* last_kind = "") {
    std::string text;
    int index = 0;
    for (const char* entry : sizes_and_rates) {
        const bool last = index + 1 == static_cast<int>(sizes_and_rates.size());
        text += std::to_string(index++) + " " + subtype + " " + entry + " " +
                (last && *last_kind ? last_kind : "VIDEOINFOHEADER") + "\r\n";
    }
    return text;
}

// Each device's list against the camera's own tables (vidlox_testcam.h).
TEST_F(Formats, EveryDeviceListsItsTable) {
    const std::string three_sizes[] = {"640 480 1.00 30.00", "1280 720 1.00 30.00", "1920 1080 1.00 30.00"};
    auto one_format = [&](const char* fourcc) {
        return lines(fourcc, {three_sizes[0].c_str(), three_sizes[1].c_str(), three_sizes[2].c_str()});
    };
    const std::string main_camera =
        lines("RGB24", {"640 480 1.00 30.00", "1280 720 1.00 30.00", "320 240 1.00 15.00", "800 600 1.00 30.00"},
              "VIDEOINFOHEADER2") +
        "4 RGB24 1920 1080 1.00 30.00 VIDEOINFOHEADER\r\n";
    const std::string webcam_list = lines("YUY2", {"640 480 5.00 30.00", "320 240 5.00 30.00", "800 600 5.00 20.00",
                                                   "1280 720 5.00 10.00", "1920 1080 5.00 5.00"}) +
                                    "5 MJPG 640 480 5.00 30.00 VIDEOINFOHEADER\r\n"
                                    "6 MJPG 320 240 5.00 30.00 VIDEOINFOHEADER\r\n"
                                    "7 MJPG 800 600 5.00 30.00 VIDEOINFOHEADER\r\n"
                                    "8 MJPG 1280 720 5.00 30.00 VIDEOINFOHEADER\r\n"
                                    "9 MJPG 1920 1080 5.00 30.00 VIDEOINFOHEADER\r\n";
    const struct {
        const wchar_t* name;
        std::string list;
    } devices[] = {
        {VLXCAM_NAME_MAIN, main_camera},         {VLXCAM_NAME_YUY2, one_format("YUY2")},
        {VLXCAM_NAME_NV12, one_format("NV12")},  {VLXCAM_NAME_MJPG, one_format("MJPG")},
        {VLXCAM_NAME_WEBCAM, webcam_list},       {VLXCAM_NAME_UNDECODABLE, lines("VLXU", {"640 480 1.00 30.00"})},
        {VLXCAM_NAME_NO_PINS, "code -8"},        {VLXCAM_NAME_CAPS_BLOCK, "code -11"},
    };
    for (const auto& device : devices) EXPECT_EQ(list_of(device_index(device.name)), device.list) << utf8(device.name);

    // Whether or not a slot holds the device, running.
    ASSERT_EQ(v.Open(webcam, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    EXPECT_EQ(list_of(webcam), webcam_list);
    EXPECT_EQ(list_of(-1), "code -2");
    char names[8192] = "";
    EXPECT_EQ(list_of(v.GetDeviceList(names, 0)), "code -5");
}

// A device registered between the size query and the listing moves every
// test camera one place down: the index sized now names a device with a
// longer list, which is written only as far as the size given.
TEST_F(Formats, AListThatGrewKeepsWithinItsSizeQuery) {
    std::string names(static_cast<size_t>(v.GetDeviceListSize(0)), '\0');
    ASSERT_GT(v.GetDeviceList(names.data(), 0), 0);
    const auto devices = static_cast<int32_t>(split_lines(names.c_str()).size());
    int32_t index = -1, sized = 0;
    for (int32_t k = 1; k < devices && index < 0; ++k) {
        const int32_t before = f.GetFormatListSize(k - 1), here = f.GetFormatListSize(k);
        if (before > here && here > 0) index = k, sized = here;
    }
    ASSERT_GE(index, 0) << "no device whose list is shorter than the one before it";
    ASSERT_EQ(f.GetFormatListSize(index), sized) << "the budget is this index's own";
    constexpr GUID kEarlierEntry = {0x0a1e5c41, 0x3b2d, 0x4f1a, {0x9c, 0x6e, 0x5d, 0x0b, 0x8a, 0x2f, 0x71, 0x02}};
    CategoryEntry earlier = CategoryEntry::with_name(CLSID_VideoInputDeviceCategory, kEarlierEntry, L"vidlox entry");
    ASSERT_TRUE(earlier.ok());
    std::vector<char> buffer(static_cast<size_t>(sized) + 256, '#');
    buffer[0] = '\0';
    const int32_t lines = f.GetFormatList(buffer.data(), index);
    EXPECT_GE(lines, 0);
    EXPECT_LE(std::string(buffer.data()).size() + 1, static_cast<size_t>(sized));
    EXPECT_EQ(buffer[static_cast<size_t>(sized)], '#') << "nothing past the size given";
}

TEST_F(Formats, ExactMjpg720p30OpensAndDeliversIt) {
    request("MJPG", 1280, 720, 30.0, VLX_FORMAT_CHOICE_EXACT);
    const std::string log = logged_open(webcam, 0);
    EXPECT_EQ(count(log, "vlx_SetDevCapConfig->AMStreamConfig->SetFormat = S_OK\r\n"), 1u) << log;
    EXPECT_EQ(format_in_force(), "MJPG 1280x720 30.00");
    ASSERT_GE(v.Play2(), 0);
    std::vector<uint8_t> pixels(1280 * 3 * 720);
    BITMAPINFO header{};
    ASSERT_EQ(wait_for_frame(pixels, header), 0);
    EXPECT_EQ(header.bmiHeader.biWidth, 1280);
    EXPECT_EQ(header.bmiHeader.biHeight, 720) << "bottom-up RGB24";
    EXPECT_EQ(corner_problem(pixels.data(), 1280, 720, 24), "") << "upright";

    // Kept across vlx_Close like the size and rate.
    ASSERT_EQ(v.Close(), 0);
    ASSERT_EQ(v.Open(webcam, 6, 0, 0, 0), 0);
    EXPECT_EQ(format_in_force(), "MJPG 1280x720 30.00");
}

TEST_F(Formats, ExactWithoutSubtypeTakesWhatReachesTheRate) {
    request(nullptr, 1280, 720, 30.0, VLX_FORMAT_CHOICE_EXACT);
    ASSERT_EQ(v.Open(webcam, 6, 0, 0, 0), 0);
    EXPECT_EQ(format_in_force(), "MJPG 1280x720 30.00") << "YUY2 at 1280x720 tops out at 10 fps";
}

TEST_F(Formats, ExactWithoutMatchOffersNothing) {
    request("", 1024, 768, 30.0, VLX_FORMAT_CHOICE_EXACT);
    const std::string log = logged_open(webcam, -60);
    EXPECT_EQ(count(log, "GetStreamCaps = S_OK"), 10u);
    EXPECT_EQ(count(log, "SetFormat"), 0u) << log;
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);

    // On an open slot, vlx_SetDevCapConfig refuses and leaves the format.
    v.SetDevWidth(0);
    v.SetDevHeight(0);
    ASSERT_EQ(v.Open(webcam, 6, 0, 0, 0), 0);
    v.SetDevWidth(1024);
    v.SetDevHeight(768);
    EXPECT_EQ(v.SetDevCapConfig(), -6);
    EXPECT_EQ(format_in_force(), "YUY2 640x480 30.00");
}

TEST_F(Formats, NearestTakesTheClosestSizeAtTheRequestedRate) {
    request(nullptr, 1000, 700, 25.0, VLX_FORMAT_CHOICE_NEAREST);
    const std::string log = logged_open(webcam, 0);
    EXPECT_EQ(count(log, "SetFormat"), 1u) << log;
    EXPECT_EQ(format_in_force(), "MJPG 1280x720 25.00");
}

// Without the opt-in a requested subtype changes nothing, to the byte.
TEST_F(Formats, ChoiceAllKeepsTheLogBytes) {
    request(nullptr, 1280, 720, 30.0, VLX_FORMAT_CHOICE_ALL);
    const std::string before = logged_open(webcam, 1);
    ASSERT_EQ(v.Close(), 0);
    request("MJPG", 1280, 720, 30.0, VLX_FORMAT_CHOICE_ALL);
    EXPECT_EQ(logged_open(webcam, 1), before);
    EXPECT_EQ(format_in_force(), "YUY2 640x480 30.00") << "the default, as the header describes";
}

TEST_F(Formats, SettersAndFormatInForceCodes) {
    EXPECT_EQ(f.SetDevSubtype("MJPEG"), -1);
    EXPECT_EQ(f.SetDevSubtype("{E436EB7D-524F-11CE-9F53-0020AF0BA770}"), 0);
    EXPECT_EQ(f.SetDevFormatChoice(3), -1);
    EXPECT_EQ(f.SetDevFormatChoice(-1), -1);
    EXPECT_EQ(format_in_force(), "code -3") << "no graph";
    EXPECT_EQ(f.GetDevFormat(nullptr, nullptr, nullptr, nullptr), -2);
    // Before the pin is connected (a mode without a renderer branch), its
    // current format.
    ASSERT_EQ(v.Open(camera, 5, 0, 0, 0), 0);
    EXPECT_EQ(format_in_force(), "RGB24 640x480 30.00");
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(format_in_force(), "code -1");
    EXPECT_EQ(f.GetFormatListSize(0), -1);
    ASSERT_EQ(v.Init(), 0);
}

}  // namespace
}  // namespace vlx_test
