// The log of a whole capture session at level 2, line for line.
#include "dll/capture_fixture.h"

#include <string>

namespace vlx_test {
namespace {

// What a session on the test camera reports: vlx_Open in mode 6, vlx_Play2,
// vlx_GetState, one frame to memory, vlx_Stop, vlx_GetState, vlx_Close.
// The capture graph builder answers VFW_S_NOPREVIEWPIN (a camera without a
// preview pin), logged with its Shift-JIS name; Run answers S_FALSE while
// the renderer waits for its first sample.
const char kGolden[] =
    "1 vlx_Open->CoCreateInstance(FilterGraph) = S_OK\r\n"
    "1 vlx_Open->CoCreateInstance(SampleGrabber) = S_OK\r\n"
    "1 vlx_Open->SampleGrabberFilter->QueryInterface(ISampleGrabber) = S_OK\r\n"
    "1 vlx_Open->SampleGrabber->SetMediaType = S_OK\r\n"
    "1 vlx_Open->GraphBuilder->AddFilter(SampleGrabber) = S_OK\r\n"
    "1 vlx_Open->CoCreateInstance(CaptureGraphBuilder2) = S_OK\r\n"
    "1 vlx_Open->CaptureGraphBuilder2->SetFiltergraph(GraphBuilder) = S_OK\r\n"
    "1 vlx_Open->GraphBuilder->QueryInterface(MediaControl) = S_OK\r\n"
    "1 vlx_Open->CoCreateInstance(SystemDeviceEnum) = S_OK\r\n"
    "1 vlx_Open->CreateDevEnum->CreateClassEnumerator(VideoInputDeviceCategory) = S_OK\r\n"
    "1 vlx_Open->EnumMoniker->Reset = S_OK\r\n"
    "1 vlx_Open->Moniker->BindToObject = S_OK\r\n"
    "1 vlx_Open->GraphBuilder->AddFilter(DeviceFilter) = S_OK\r\n"
    "1 vlx_Open->CoCreateInstance(NullRenderer) = S_OK\r\n"
    "1 vlx_Open->GraphBuilder->AddFilter(NullRenderer) = S_OK\r\n"
    "1 vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer) = "
    "VFW_S_NOPREVIEWPIN(\x91\xb1\x8d\x73\x89\xc2\x94\x5c\x82\xc8\x83\x47\x83\x89\x81\x5b)\r\n"
    "1 vlx_Open->GraphBuilder->QueryInterface(VideoWindow) = S_OK\r\n"
    "1 vlx_Play2->SampleGrabber->SetBufferSamples = S_OK\r\n"
    "1 vlx_Play2->MediaControl->Run = S_FALSE\r\n"
    "1 vlx_GetState->MediaControl->GetState = S_OK\r\n"
    "1 vlx_GetImageMemSize->SampleGrabber->GetConnectedMediaType = S_OK\r\n"
    "1 vlx_GetImageMem->SampleGrabber->GetConnectedMediaType = S_OK\r\n"
    "1 vlx_GetImageMem->SampleGrabber->GetCurrentBuffer = S_OK\r\n"
    "1 vlx_Stop->MediaControl->Stop = S_OK\r\n"
    "1 vlx_GetState->MediaControl->GetState = S_OK\r\n";

class SessionLog : public Capture {};

TEST_F(SessionLog, LevelTwoLogsEveryReportedCallInOrder) {
    static char log[65536];
    log[0] = '\0';
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);

    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    EXPECT_EQ(v.GetState(), 2);

    // Wait for the first frame without logging the polls.
    v.SetLogLevel(0);
    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header{};
    ASSERT_EQ(wait_for_frame(pixels, header), 0);
    v.SetLogLevel(2);

    const int32_t size = v.GetImageMemSize(0);
    int32_t copied = size;
    EXPECT_EQ(v.GetImageMem(pixels.data(), &copied, &header), 0);
    EXPECT_EQ(v.Stop(), 0);
    EXPECT_EQ(v.GetState(), 0);
    const std::string before_close = log;
    EXPECT_EQ(v.Close(), 0);
    EXPECT_EQ(before_close, kGolden);
    EXPECT_EQ(std::string(log), before_close) << "closing a stopped slot calls nothing reported";
}

TEST_F(SessionLog, ClosingARunningSlotLogsItsStop) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    static char log[4096];
    log[0] = '\0';
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    EXPECT_EQ(v.Close(), 0);
    EXPECT_EQ(std::string(log), "1 vlx_Close->MediaControl->Stop = S_OK\r\n");
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
}

}  // namespace
}  // namespace vlx_test
