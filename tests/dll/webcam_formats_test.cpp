// Cameras that send what real webcams send (YUY2, NV12, MJPG): the graph
// puts a decoder in front of the RGB24 Sample Grabber, and the host gets
// upright frames at the size the grabber reports and the size it asked for.
#include "dll/capture_fixture.h"
#include "support/frame_check.h"
#include "support/message_window.h"
#include "support/text_lines.h"

#include <algorithm>

#include <ostream>
#include <string>
#include <tuple>

namespace vlx_test {
namespace {

struct FormatDevice {
    const char* label;
    const wchar_t* name;
    int tolerance;  // per channel, after YUV or JPEG
};

void PrintTo(const FormatDevice& device, std::ostream* out) { *out << device.label; }

constexpr FormatDevice kFormatDevices[] = {
    {"Yuy2", VLXCAM_NAME_YUY2, 4},
    {"Nv12", VLXCAM_NAME_NV12, 4},
    {"Mjpg", VLXCAM_NAME_MJPG, 24},
};

class FormatCapture : public Capture {
protected:
    // Grabs the newest frame of a running slot at `width` x `height` and
    // checks that it is the camera's picture, upright; its frame number.
    uint32_t expect_picture(int32_t width, int32_t height, int tolerance) {
        EXPECT_EQ(v.GetImageMemSize(0), width * 3 * height) << "the size the grabber reports";
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
        BITMAPINFO header{};
        EXPECT_EQ(wait_for_frame(pixels, header), 0) << "frames reach the grabber";
        EXPECT_EQ(header.bmiHeader.biWidth, width);
        EXPECT_EQ(header.bmiHeader.biHeight, height) << "bottom-up RGB24";
        EXPECT_EQ(header.bmiHeader.biBitCount, 24);
        EXPECT_EQ(corner_problem(pixels.data(), width, height, tolerance), "");
        return frame_number(pixels.data(), width, height);
    }
    // The filters of the slot's graph, as vlx_StreamFilterList names them.
    std::vector<std::string> filter_names() {
        std::vector<char> text(static_cast<size_t>(std::max(v.GetStreamFilterListSize(), 1)), '\0');
        v.StreamFilterList(text.data());
        return split_lines(text.data());
    }
};

class FormatModes : public FormatCapture,
                    public ::testing::WithParamInterface<std::tuple<FormatDevice, int32_t>> {};

TEST_P(FormatModes, FramesArriveUpright) {
    const auto [device, mode] = GetParam();
    const int32_t index = device_index(device.name);
    ASSERT_GE(index, 0);
    MessageWindow host;
    const auto owner = static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle()));
    const intptr_t vmr_windowed = mode == 2 ? 1 : 0;

    ASSERT_EQ(v.Open(index, mode, 0, vmr_windowed, vmr_windowed), 0);
    const auto names = filter_names();
    EXPECT_NE(std::find(names.begin(), names.end(), "AVI Decompressor"), names.end())
        << "the decoder intelligent connect put in front of the grabber";
    ASSERT_GE(v.Play(owner, 0, 0, 320, 240), 0);
    const uint32_t first = expect_picture(640, 480, device.tolerance);
    uint32_t later = first;
    for (int i = 0; i < 100 && later == first; ++i) {
        Sleep(20);
        later = grab_frame_number();
    }
    EXPECT_GT(later, first) << "the frame numbers advance";
    EXPECT_EQ(v.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, FormatModes,
                         ::testing::Combine(::testing::ValuesIn(kFormatDevices), ::testing::Values(0, 2, 6)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "Mode" +
                                    std::to_string(std::get<1>(info.param));
                         });

class FormatRequests : public FormatCapture, public ::testing::WithParamInterface<FormatDevice> {};

// The frame numbers count the camera's frame intervals, so their pace over
// the wall clock is the rate in force, whatever the decoder drops.
TEST_P(FormatRequests, SizeAndRateApplied) {
    const FormatDevice device = GetParam();
    const int32_t index = device_index(device.name);
    ASSERT_GE(index, 0);
    v.SetDevWidth(1280);
    v.SetDevHeight(720);
    v.SetDevFrameRate(15.0);
    ASSERT_EQ(v.Open(index, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    const uint32_t first = expect_picture(1280, 720, device.tolerance);
    const ULONGLONG start = GetTickCount64();
    Sleep(1500);
    const uint32_t last = expect_picture(1280, 720, device.tolerance);
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    const double rate = static_cast<double>(last - first) / seconds;
    EXPECT_GT(rate, 10.0);
    EXPECT_LT(rate, 20.0) << "15 frames per second asked for, not the default 30";
}

INSTANTIATE_TEST_SUITE_P(Devices, FormatRequests, ::testing::ValuesIn(kFormatDevices),
                         [](const auto& info) { return std::string(info.param.label); });

std::string lines(std::initializer_list<const char*> entries) {
    std::string text;
    for (const char* entry : entries) text += std::string(entry) + "\r\n";
    return text;
}

struct ListedDevice {
    const wchar_t* name;
    std::string rates, widths, heights;
};

// Every capability of these devices is FORMAT_VideoInfo, hence listed.
// NV12 and MJPG add 4K and the 60 fps modes after them (stating 30 fps).
TEST_F(FormatCapture, CapabilityListsOfEachDevice) {
    const std::string one_format_rates = lines({"30.00", "30.00", "30.00"});
    const std::string one_format_widths = lines({"640", "1280", "1920"});
    const std::string one_format_heights = lines({"480", "720", "1080"});
    const std::string fast_rates = lines({"30.00", "30.00", "30.00", "30.00", "30.00", "30.00"});
    const std::string fast_widths = lines({"640", "1280", "1920", "3840", "1280", "1920"});
    const std::string fast_heights = lines({"480", "720", "1080", "2160", "720", "1080"});
    const ListedDevice devices[] = {
        {VLXCAM_NAME_YUY2, one_format_rates, one_format_widths, one_format_heights},
        {VLXCAM_NAME_NV12, fast_rates, fast_widths, fast_heights},
        {VLXCAM_NAME_MJPG, fast_rates, fast_widths, fast_heights},
        {VLXCAM_NAME_WEBCAM,
         lines({"30.00", "30.00", "20.00", "10.00", "5.00", "30.00", "30.00", "30.00", "30.00", "30.00"}),
         lines({"640", "320", "800", "1280", "1920", "640", "320", "800", "1280", "1920"}),
         lines({"480", "240", "600", "720", "1080", "480", "240", "600", "720", "1080"})},
    };
    for (const ListedDevice& device : devices) {
        ASSERT_EQ(v.Open(device_index(device.name), 6, 0, 0, 0), 0) << utf8(device.name);
        std::vector<char> lists[3];
        for (int32_t list = 0; list < 3; ++list) lists[list].assign(static_cast<size_t>(v.GetDevCapConfigSize(list)), '\0');
        EXPECT_EQ(v.GetDevCapConfig(lists[0].data(), lists[1].data(), lists[2].data()), 0);
        EXPECT_EQ(std::string(lists[0].data()), device.rates) << utf8(device.name);
        EXPECT_EQ(std::string(lists[1].data()), device.widths) << utf8(device.name);
        EXPECT_EQ(std::string(lists[2].data()), device.heights) << utf8(device.name);
        EXPECT_EQ(v.Close(), 0);
    }
}

// The webcam lists YUY2 first, then MJPG. A request is written into every
// capability in turn: when all accept it, the last one (MJPG) is in force;
// the first refusal (YUY2 is slow at large sizes) stops the offers with 1
// and leaves the default, YUY2 640x480 at 30 fps.
TEST_F(FormatCapture, WebcamRequests) {
    const int32_t webcam = device_index(VLXCAM_NAME_WEBCAM);
    ASSERT_GE(webcam, 0);
    const struct {
        int32_t width, height;
        double rate;
        int32_t opened, frame_width, frame_height;
    } cases[] = {
        {1280, 720, 10.0, 0, 1280, 720},   // MJPG 1280x720 at 10 fps
        {1920, 1080, 5.0, 0, 1920, 1080},  // MJPG 1920x1080 at 5 fps
        {1280, 720, 30.0, 1, 640, 480},    // YUY2 1280x720 tops out at 10 fps
        {1920, 1080, 30.0, 1, 640, 480},
    };
    for (const auto& c : cases) {
        v.SetDevWidth(c.width);
        v.SetDevHeight(c.height);
        v.SetDevFrameRate(c.rate);
        EXPECT_EQ(v.Open(webcam, 6, 0, 0, 0), c.opened) << c.width << "x" << c.height << "@" << c.rate;
        ASSERT_GE(v.Play2(), 0);
        expect_picture(c.frame_width, c.frame_height, 24);
        EXPECT_EQ(v.Close(), 0);
    }
}

// The AVI modes from a YUY2 camera build their graph: the capture stream
// goes into the AVI Mux as the camera sends it, the preview through the
// decoder into the grabber. They are not run on Wine: while the preview
// branch is built, Wine's intelligent connect tries the mux's spare input
// pin on every path it explores, and Wine's AVI Mux adds a pin for each
// attempt and never drops it (127 pins); its interleaver then leaves the
// camera's samples queued, and its pin disconnect reads them after their
// allocator was decommitted (a page fault in qcap.dll when the graph goes).
TEST_F(FormatCapture, AviModesFromAYuy2CameraBuild) {
    const int32_t index = device_index(VLXCAM_NAME_YUY2);
    ASSERT_GE(index, 0);
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"vidlox-yuy2-camera.avi";
    for (const int32_t mode : {300, 301}) {
        ASSERT_EQ(v.Open(index, mode, 0, reinterpret_cast<intptr_t>(file.c_str()), 0), 0) << mode;
        const auto names = filter_names();
        for (const char* wanted : {"Device Filter", "AVI Mux", "AVI Decompressor", "Sample Grabber"}) {
            EXPECT_NE(std::find(names.begin(), names.end(), wanted), names.end()) << mode << ": " << wanted;
        }
        EXPECT_EQ(v.Close(), 0);
        EXPECT_EQ(camera_live_objects(), 0);
    }
}

// A camera whose only format nothing decodes cannot reach the grabber: the
// open fails at the preview branch's render step instead of building a
// graph that never delivers a frame.
TEST_F(Capture, UndecodableFormatFailsTheRenderStep) {
    const int32_t index = device_index(VLXCAM_NAME_UNDECODABLE);
    ASSERT_GE(index, 0);
    const struct {
        int32_t mode, code;
    } cases[] = {{0, -76}, {2, -96}, {6, -56}};
    for (const auto& c : cases) {
        const intptr_t vmr_windowed = c.mode == 2 ? 1 : 0;
        EXPECT_EQ(v.Open(index, c.mode, 0, vmr_windowed, vmr_windowed), c.code) << c.mode;
        EXPECT_EQ(v.GetLastError(), VFW_E_CANNOT_CONNECT) << std::hex << v.GetLastError();
        EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
        EXPECT_EQ(camera_live_objects(), 0);
    }
}

}  // namespace
}  // namespace vlx_test
