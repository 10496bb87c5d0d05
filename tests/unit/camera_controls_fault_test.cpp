// The control exports' codes for platform failures the test camera cannot
// produce, through fault injection on an open slot of the real camera.
#include "unit/capture_harness.h"

#include <string>

namespace vlx_test {
namespace {

constexpr HRESULT kBroken = HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);

TEST_F(InProcessCapture, ControlCallFailuresNameTheirStep) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    int32_t n = 0;
    const struct {
        const char* key;
        int32_t expected;
        int32_t (*call)();
        const char* never_made;  // a later call that a failure must skip
    } faults[] = {
        {"vlx_GetControlRange->VideoProcAmp->GetRange", -9,
         [] { int32_t n = 0; return vlx_GetControlRange(VLX_CONTROL_GAIN, &n, &n, &n, &n, &n); }, ""},
        {"vlx_GetControl->CameraControl->Get", -10, [] { int32_t n = 0; return vlx_GetControl(VLX_CONTROL_ZOOM, &n, &n); },
         ""},
        {"vlx_SetControl->CameraControl->GetRange", -9, [] { return vlx_SetControl(VLX_CONTROL_ZOOM, 120, 2); },
         "vlx_SetControl->CameraControl->Set"},
        {"vlx_SetControl->VideoProcAmp->Set", -11, [] { return vlx_SetControl(VLX_CONTROL_GAIN, 4, 2); },
         "vlx_SetControl->VideoProcAmp->Get"},
        {"vlx_SetControl->VideoProcAmp->Get", -10, [] { return vlx_SetControl(VLX_CONTROL_GAIN, 4, 2); }, ""},
    };
    for (const auto& f : faults) {
        vlx::fault::clear_all();
        vlx::fault::arm(f.key, kBroken);
        EXPECT_EQ(f.call(), f.expected) << f.key;
        EXPECT_EQ(vlx::fault::attempts(f.never_made), 0) << f.key;
        EXPECT_EQ(vlx_GetLastError(), kBroken);
    }
    vlx::fault::clear_all();
    // A device that does not hold the mode asked for answers 1 as well.
    vlx::fault::arm("vlx_SetControl->CameraControl->Set", S_OK);
    EXPECT_EQ(vlx_SetControl(VLX_CONTROL_FOCUS, 18, VLX_CONTROL_MANUAL), 1);
    EXPECT_EQ(vlx_GetControl(VLX_CONTROL_FOCUS, &n, &n), 0);
    EXPECT_EQ(n, VLX_CONTROL_AUTO);
}

// The list keeps the lines its size query counted: a value that cannot be
// read is listed as 0 in mode 0; a range that cannot be read leaves the
// control out of both.
TEST_F(InProcessCapture, ControlListFailuresKeepListAndSizeInStep) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    vlx::fault::arm("vlx_GetControlList->VideoProcAmp->Get", kBroken, 0, 1);
    std::string text(2048, '\0');
    ASSERT_EQ(vlx_GetControlList(text.data()), 13);
    EXPECT_EQ(text.substr(0, text.find("\r\n")).substr(text.find("128\t") + 4),
              "          2\t          0\t          0");
    EXPECT_EQ(static_cast<int32_t>(std::string(text.c_str()).size()) + 1, vlx_GetControlListSize());
    vlx::fault::arm("vlx_GetControlListSize->CameraControl->GetRange", kBroken, 0, 1);
    vlx::fault::arm("vlx_GetControlList->CameraControl->GetRange", kBroken, 0, 1);
    const int32_t size = vlx_GetControlListSize();
    std::string shorter(2048, '\0');
    EXPECT_EQ(vlx_GetControlList(shorter.data()), 12);
    EXPECT_EQ(std::string(shorter.c_str()).find("\tpan\t"), std::string::npos);
    EXPECT_EQ(static_cast<int32_t>(std::string(shorter.c_str()).size()) + 1, size);
}

TEST_F(InProcessCapture, ControlsOfASlotWithoutDevice) {
    vlx::fault::arm("vlx_Open->Moniker->BindToObject", E_FAIL);
    ASSERT_EQ(vlx_Open(camera, 5, 0, 0, 0), 0);
    int32_t n = 0;
    EXPECT_EQ(vlx_GetControl(VLX_CONTROL_GAIN, &n, &n), -2);
    EXPECT_EQ(vlx_GetControlListSize(), -2);
}

}  // namespace
}  // namespace vlx_test
