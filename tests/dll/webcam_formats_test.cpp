// Cameras that send what real webcams send (YUY2, NV12, MJPG): the graph
// puts a decoder in front of the RGB24 Sample Grabber, and the host gets
// upright frames at the size the grabber reports and the size it asked for.
#include "dll/capture_fixture.h"
#include "support/frame_check.h"
#include "support/message_window.h"

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
    ASSERT_GE(v.Play(owner, 0, 0, 320, 240), 0);
    const uint32_t first = expect_picture(640, 480, device.tolerance);
    Sleep(100);
    EXPECT_GT(expect_picture(640, 480, device.tolerance), first) << "the frame numbers advance";
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
