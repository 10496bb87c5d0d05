// Capture formats requested before vlx_Open.
#include "dll/capture_fixture.h"
#include "support/frame_check.h"

#include <limits>
#include <string>

namespace vlx_test {
namespace {

class RequestedFormat : public Capture {
protected:
    void request(int32_t width, int32_t height, double rate) {
        EXPECT_EQ(v.SetDevWidth(width), 0);
        EXPECT_EQ(v.SetDevHeight(height), 0);
        EXPECT_EQ(v.SetDevFrameRate(rate), 0);
    }
    // Plays the open slot; its first frame is a whole `width` x `height` picture.
    void expect_frames_of(int32_t width, int32_t height) {
        ASSERT_GE(v.Play2(), 0);
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * 3 * height);
        BITMAPINFO header{};
        ASSERT_EQ(wait_for_frame(pixels, header), 0);
        EXPECT_EQ(header.bmiHeader.biWidth, width);
        EXPECT_EQ(header.bmiHeader.biHeight, height);
        EXPECT_EQ(corner_problem(pixels.data(), width, height), "");
    }
};

TEST_F(RequestedFormat, SizeAndRateBeforeOpen) {
    request(320, 240, 15.0);
    static char log[32768];
    log[0] = '\0';
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    v.SetLogBuffer(nullptr, 0);
    EXPECT_EQ(v.GetImageMemSize(0), 230400);
    ASSERT_EQ(v.Close(), 0);
    // Eight capabilities are read; the FORMAT_VideoInfo2 one is skipped, the
    // other seven are offered in turn and the last accepted stays in force.
    const std::string text = log;
    auto count = [&](const std::string& line) {
        size_t n = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("1 vlx_SetDevCapConfig->AMStreamConfig->GetStreamCaps = S_OK\r\n"), 8u);
    EXPECT_EQ(count("1 vlx_SetDevCapConfig->AMStreamConfig->SetFormat = S_OK\r\n"), 7u);

    // The request survives the close and applies to the next open.
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.GetImageMemSize(0), 230400);
    expect_frames_of(320, 240);
}

TEST_F(RequestedFormat, SetBeforeInitStillApplies) {
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(v.SetDevWidth(1280), 0);
    EXPECT_EQ(v.SetDevHeight(720), 0);
    ASSERT_EQ(v.Init(), 0);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0) << "no rate asked: each capability keeps its own";
    EXPECT_EQ(v.GetImageMemSize(0), 1280 * 3 * 720);
}

TEST_F(RequestedFormat, ZeroRateKeepsTheCapabilityRate) {
    request(640, 480, 0.0);
    char log[16384] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(1);
    EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), 0) << "every capability accepted at its own rate";
    EXPECT_EQ(std::string(log).find("SetFormat"), std::string::npos) << log;
}

TEST_F(RequestedFormat, UnrepresentableRatesAskForNoRate) {
    v.SetDevWidth(640);
    v.SetDevHeight(480);
    for (double rate : {-30.0, 0.001, std::numeric_limits<double>::quiet_NaN()}) {
        v.SetDevFrameRate(rate);
        EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), 0) << rate;
        EXPECT_EQ(v.Close(), 0);
    }
}

TEST_F(RequestedFormat, SizeNoCapabilityHasGivesOne) {
    request(1000, 1000, 30.0);
    EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), 1);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_OPEN) << "the open succeeds";
    EXPECT_EQ(v.GetImageMemSize(0), 921600) << "the default format stays";
    EXPECT_EQ(v.SetDevCapConfig(), 1) << "called directly on the open slot";
}

// A device that keeps the frame size stated in the type it is given: the
// size written with the requested width and height is what reaches the host.
TEST_F(RequestedFormat, StatedFrameSizeFollowsTheRequest) {
    const int32_t keeps_sizes = device_index(VLXCAM_NAME_KEEPS_SIZES);
    ASSERT_GE(keeps_sizes, 0);
    request(320, 240, 15.0);
    ASSERT_EQ(v.Open(keeps_sizes, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.GetImageMemSize(0), 230400) << "not the 1920x1080 size of the last capability offered";
    ASSERT_GE(v.Play2(), 0);
    std::vector<uint8_t> pixels(6220800);
    BITMAPINFO header{};
    ASSERT_EQ(wait_for_frame(pixels, header), 0);
    int32_t size = static_cast<int32_t>(pixels.size());
    ASSERT_EQ(v.GetImageMem(pixels.data(), &size, &header), 0);
    EXPECT_EQ(size, 230400) << "bytes delivered";
    EXPECT_EQ(header.bmiHeader.biSizeImage, 230400u);
    EXPECT_EQ(header.bmiHeader.biWidth, 320);
}

TEST_F(RequestedFormat, SetDevCapConfigOnAnOpenSlotReconnects) {
    // A capture filter that is stopped and connected asks its peer and has
    // the graph reconnect it: the new size reaches the grabber. The two-pin
    // device's preview pin feeds the grabber directly, without a Smart Tee.
    const int32_t two_pins = device_index(VLXCAM_NAME_PREVIEW_PIN);
    ASSERT_GE(two_pins, 0);
    ASSERT_EQ(v.Open(two_pins, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.GetImageMemSize(0), 921600);
    request(320, 240, 15.0);
    EXPECT_EQ(v.SetDevCapConfig(), 0);
    EXPECT_EQ(v.GetImageMemSize(0), 230400);
    expect_frames_of(320, 240);
}

// A one-pin camera feeds the grabber through the Smart Tee that the capture
// graph builder inserts; after the camera reconnects with a new rate or
// size, the tee's outputs follow and frames of the new format arrive.
TEST_F(RequestedFormat, SetDevCapConfigOnAnOpenSlotReachesTheGrabberThroughTheTee) {
    const struct {
        int32_t width, height;
        double rate;
    } requests[] = {{640, 480, 15.0}, {320, 240, 15.0}};
    for (const auto& r : requests) {
        ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
        request(r.width, r.height, r.rate);
        EXPECT_EQ(v.SetDevCapConfig(), 0) << r.width;
        EXPECT_EQ(v.GetImageMemSize(0), r.width * 3 * r.height);
        expect_frames_of(r.width, r.height);
        ASSERT_EQ(v.Close(), 0);
        request(0, 0, 0.0);
    }
}

TEST_F(RequestedFormat, SetDevCapConfigOnARunningSlotIsRefused) {
    // Running, the camera refuses every format (VFW_E_NOT_STOPPED) and the
    // stream goes on as it was.
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    const uint32_t before = grab_frame_number();
    request(320, 240, 15.0);
    EXPECT_EQ(v.SetDevCapConfig(), 1);
    EXPECT_EQ(v.GetLastError(), VFW_E_NOT_STOPPED);
    EXPECT_EQ(v.GetImageMemSize(0), 921600);
    Sleep(200);
    const uint32_t after = grab_frame_number();
    EXPECT_NE(after, UINT32_MAX);
    EXPECT_GT(after, before) << "frames still arrive";
    EXPECT_EQ(v.GetState(), 2);
}

TEST_F(RequestedFormat, DeviceThatRefusesEveryFormat) {
    const int32_t refusing = device_index(VLXCAM_NAME_REFUSES);
    ASSERT_GE(refusing, 0);
    request(640, 480, 30.0);
    EXPECT_EQ(v.Open(refusing, 6, 0, 0, 0), 1);
}

TEST_F(RequestedFormat, WrongCapsBlockSizeSetsNothing) {
    const int32_t small_caps = device_index(VLXCAM_NAME_CAPS_BLOCK);
    ASSERT_GE(small_caps, 0);
    request(320, 240, 15.0);
    char log[16384] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    EXPECT_EQ(v.Open(small_caps, 6, 0, 0, 0), 0);
    const std::string text = log;
    EXPECT_NE(text.find("vlx_SetDevCapConfig->AMStreamConfig->GetNumberOfCapabilities = S_OK"), std::string::npos);
    EXPECT_EQ(text.find("GetStreamCaps"), std::string::npos);
    EXPECT_EQ(text.find("SetFormat"), std::string::npos);
    EXPECT_EQ(v.GetImageMemSize(0), 921600);
}

TEST_F(RequestedFormat, DeviceWithoutPinsFailsAtTheFormatStep) {
    const int32_t pinless = device_index(VLXCAM_NAME_NO_PINS);
    ASSERT_GE(pinless, 0);
    v.SetDevWidth(640);
    EXPECT_EQ(v.Open(pinless, 6, 0, 0, 0), -57) << "no capture pin for FindInterface";
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    EXPECT_EQ(v.SetDevCapConfig(), -2) << "the failed open left no graph";
}

TEST_F(RequestedFormat, SetDevCapConfigChecks) {
    EXPECT_EQ(v.SetDevCapConfig(), -2) << "no graph";
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(v.SetDevCapConfig(), -1);
    ASSERT_EQ(v.Init(), 0);
}

}  // namespace
}  // namespace vlx_test
