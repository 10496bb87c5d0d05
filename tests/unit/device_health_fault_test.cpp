// Device-state failures the platform does not produce on its own: the
// counting callback refused, and an event queue that cannot be read.
#include "unit/capture_harness.h"

#include <cstring>

namespace vlx_test {
namespace {

TEST_F(InProcessCapture, DeviceStateStepFailures) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(vlx_Play2(), 0);
    char log[4096] = "";
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(1);

    // A slot whose frames cannot be counted is not watched: a delivering
    // camera must never read as waiting, then stalled.
    vlx::fault::arm("vlx_GetDeviceState->SampleGrabber->SetCallback", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_GetDeviceState(), -4);
    EXPECT_NE(std::strstr(log, "vlx_GetDeviceState->SampleGrabber->SetCallback = "), nullptr) << log;
    int32_t state = -1;
    for (int tries = 0; tries < 60 && state != VLX_DEVICE_DELIVERING; ++tries) {
        state = vlx_GetDeviceState();
        Sleep(50);
    }
    EXPECT_EQ(state, VLX_DEVICE_DELIVERING) << "the next call fits the callback";

    vlx::fault::arm("DeviceState.MediaEventEx.GetEvent", E_UNEXPECTED, 0, 1);
    EXPECT_EQ(vlx_GetDeviceState(), -3);
    EXPECT_EQ(vlx_GetDeviceState(), VLX_DEVICE_DELIVERING);
}

}  // namespace
}  // namespace vlx_test
