// What the graph holds, and the paths Wine cannot take on its own.
#include "unit/capture_harness.h"

#include <algorithm>
#include <string>

namespace vlx_test {
namespace {

bool has(const std::vector<std::wstring>& names, const wchar_t* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_F(InProcessCapture, FilterNamesOfEachMode) {
    ASSERT_EQ(vlx_Open(camera, 5, 0, 0, 0), 0);
    auto names = graph_filter_names(vlx::active_slot().graph_builder.get());
    EXPECT_EQ(names.size(), 2u);
    EXPECT_TRUE(has(names, L"Sample Grabber"));
    EXPECT_TRUE(has(names, L"Device Filter"));
    ASSERT_EQ(vlx_Close(), 0);

    const std::pair<int32_t, const wchar_t*> modes[] = {{0, L"Video Renderer"}, {2, L"VMR9"}, {6, L"Null Renderer"}};
    for (const auto& [mode, renderer] : modes) {
        ASSERT_EQ(vlx_Open(camera, mode, 0, 1, 1), 0) << mode;
        names = graph_filter_names(vlx::active_slot().graph_builder.get());
        EXPECT_TRUE(has(names, L"Sample Grabber")) << mode;
        EXPECT_TRUE(has(names, L"Device Filter")) << mode;
        EXPECT_TRUE(has(names, renderer)) << mode;
        ASSERT_EQ(vlx_Close(), 0);
    }
}

// Wine's VMR7 lacks SetNumberOfStreams; with that one call answered S_OK in
// its place, mode 1 reaches the real RenderStream. Wine's VMR7 then takes
// nothing from the grabber (VFW_E_CANNOT_CONNECT: the grabber's output and
// the VMR7 stay unconnected), and the open fails at the render step rather
// than report a preview that never shows.
TEST_F(InProcessCapture, Vmr7ThatCannotConnectFailsTheRenderStep) {
    vlx::fault::arm("vlx_Open->VMRFilterConfig->SetNumberOfStreams(VMR7)", S_OK);
    char log[4096] = "";
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(1);
    EXPECT_EQ(vlx_Open(camera, 1, 0, 1 /* VMRMode_Windowed */, 1), -86);
    EXPECT_NE(std::string(log).find("1 vlx_Open->CaptureGraphBuilder2->RenderStream(VMR7) = VFW_E_CANNOT_CONNECT\r\n"),
              std::string::npos)
        << log;
    const vlx::Slot& slot = vlx::active_slot();
    EXPECT_EQ(slot.slot_state, 0);
    EXPECT_TRUE(all_interfaces_null(slot));
}

TEST_F(InProcessCapture, GetStateFailures) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    vlx::fault::arm("vlx_GetState->MediaControl->GetState", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_GetState(), -2);
    vlx::fault::arm("vlx_GetState->MediaControl->GetState", E_UNEXPECTED, 0, 1);
    EXPECT_EQ(vlx_GetState(), -4) << "no state was written: not reported as one";
    EXPECT_EQ(vlx_GetLastError(), E_UNEXPECTED);
}

TEST_F(InProcessCapture, RunFailureStillCountsAsStarted) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    vlx::fault::arm("vlx_Play2->MediaControl->Run", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_Play2(), 1);
    EXPECT_EQ(vlx_GetRef(), VLX_SLOT_RUNNING);
    vlx::fault::arm("vlx_Stop->MediaControl->Stop", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_Stop(), 0);
    EXPECT_EQ(vlx_GetRef(), VLX_SLOT_OPEN);
}

TEST_F(InProcessCapture, FrameCopyThatCannotBeAllocated) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(vlx_Play2(), 0);
    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header{};
    int32_t result = -7;
    for (int i = 0; i < 500 && result == -7; ++i) {
        int32_t size = 921600;
        result = vlx_GetImageMem(pixels.data(), &size, &header);
        Sleep(10);
    }
    ASSERT_EQ(result, 0);
    char log[1024] = "";
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(2);
    vlx::fault::arm("AllocateFrameCopy", E_OUTOFMEMORY, 0, 1);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(vlx_GetImage(dc, 0, 0, 640, 480), -4);
    DeleteDC(dc);
    EXPECT_EQ(std::string(log), "1 vlx_GetImage->SampleGrabber->GetConnectedMediaType = S_OK\r\n")
        << "no GetCurrentBuffer with a null buffer";
}

TEST_F(InProcessCapture, MissingSampleGrabberCodes) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    vlx::Slot& slot = vlx::active_slot();
    vlx::ComPtr<ISampleGrabber> kept = std::move(slot.sample_grabber);
    int32_t size = 0;
    EXPECT_EQ(vlx_GetImage(nullptr, 0, 0, 1, 1), -9);
    EXPECT_EQ(vlx_GetImageMemSize(0), -3);
    EXPECT_EQ(vlx_GetImageMemSize(1), 44) << "the header size needs no grabber";
    EXPECT_EQ(vlx_GetImageMem(nullptr, &size, nullptr), -8);
    EXPECT_EQ(vlx_Play2(), -3);
    slot.sample_grabber = std::move(kept);
}

}  // namespace
}  // namespace vlx_test
