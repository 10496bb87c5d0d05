// What the webcam device's capture pin is connected with after vlx_Open
// offered a requested format to every capability: the last one that
// accepted it.
#include "common/media_type.h"
#include "unit/capture_harness.h"

namespace vlx_test {
namespace {

constexpr DWORD kYuy2 = MAKEFOURCC('Y', 'U', 'Y', '2');
constexpr DWORD kMjpg = MAKEFOURCC('M', 'J', 'P', 'G');

TEST_F(InProcessCapture, WebcamConnectsTheLastAcceptedCapability) {
    const int32_t webcam = device_position(VLXCAM_NAME_WEBCAM);
    ASSERT_GE(webcam, 0);
    const struct {
        int32_t width, height;
        double rate;
        int32_t opened;
        DWORD fourcc;
        LONG connected_width, connected_height;
        REFERENCE_TIME interval;
    } cases[] = {
        {0, 0, 0.0, 0, kYuy2, 640, 480, 333333},           // nothing asked: capability 0
        {640, 480, 30.0, 0, kMjpg, 640, 480, 333333},      // every capability accepts
        {640, 480, 15.0, 0, kMjpg, 640, 480, 666666},      // 10^7 / 15 truncated, not rounded
        {1280, 720, 10.0, 0, kMjpg, 1280, 720, 1000000},   // every capability accepts
        {1280, 720, 30.0, 1, kYuy2, 640, 480, 333333},     // the first refuses: nothing applied
    };
    for (const auto& c : cases) {
        vlx_SetDevWidth(c.width);
        vlx_SetDevHeight(c.height);
        vlx_SetDevFrameRate(c.rate);
        ASSERT_EQ(vlx_Open(webcam, 6, 0, 0, 0), c.opened) << c.width << "x" << c.height << "@" << c.rate;
        vlx::ComPtr<IPin> capture;
        ASSERT_EQ(vlx::active_slot().device_filter->FindPin(L"Capture", capture.put()), S_OK);
        vlx::MediaType connected;
        ASSERT_EQ(capture->ConnectionMediaType(connected.get()), S_OK);
        ASSERT_TRUE(IsEqualGUID(connected->formattype, FORMAT_VideoInfo));
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(connected->pbFormat);
        EXPECT_EQ(vih->bmiHeader.biCompression, c.fourcc) << c.width << "x" << c.height << "@" << c.rate;
        EXPECT_EQ(vih->bmiHeader.biWidth, c.connected_width);
        EXPECT_EQ(vih->bmiHeader.biHeight, c.connected_height);
        EXPECT_EQ(vih->AvgTimePerFrame, c.interval);
        ASSERT_EQ(vlx_Close(), 0);
    }
}

}  // namespace
}  // namespace vlx_test
