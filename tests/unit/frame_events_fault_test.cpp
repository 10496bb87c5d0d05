// Frame-event failures the platform does not produce on its own: each is
// refused with its own code, logged under its own name, and leaves the slot
// as untracked as it was.
#include "support/message_window.h"
#include "unit/capture_harness.h"

#include <cstring>

namespace vlx_test {
namespace {

TEST_F(InProcessCapture, FrameEventStepFailures) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    char log[4096] = "";
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(1);
    int32_t size = 0;
    BITMAPINFO header{};

    vlx::fault::arm("vlx_GetFrame->SampleGrabber->SetCallback", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_GetFrame(nullptr, &size, &header, nullptr), -9);
    EXPECT_NE(std::strstr(log, "vlx_GetFrame->SampleGrabber->SetCallback = "), nullptr) << log;
    vlx::fault::arm("FrameTracking.Event.CreateEvent", E_OUTOFMEMORY, 0, 1);
    EXPECT_EQ(vlx_WaitFrame(0), -10);

    MessageWindow window;
    vlx::fault::arm("vlx_SetFrameNotify->MessageQueue->SetWindowsHookEx(WH_GETMESSAGE)", E_ACCESSDENIED, 0, 1);
    EXPECT_EQ(vlx_SetFrameNotify(window.handle(), WM_APP), -6);
    // The refusal came after tracking had started; only the hook is missing.
    EXPECT_EQ(vlx_GetFrame(nullptr, &size, &header, nullptr), -7);

    ASSERT_GE(vlx_Play2(), 0);
    vlx::fault::arm("vlx_WaitFrame.Thread.MsgWaitForMultipleObjectsEx", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_WaitFrame(1000), -6);
    EXPECT_EQ(vlx_WaitFrame(5000), 0) << "the next wait works";
}

}  // namespace
}  // namespace vlx_test
