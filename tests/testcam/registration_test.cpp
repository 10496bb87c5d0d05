// Registering and removing the camera with regsvr32, seen through the system
// device enumerator.
#include "support/camera_graph.h"
#include "support/regsvr32.h"
#include "vidlox_testcam.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <string>

namespace vlx_test {
namespace {

DWORD regsvr32(const std::wstring& arguments) { return vlx_test::regsvr32(arguments, L"vidlox-testcam64.dll"); }

size_t count_ours(const std::vector<std::wstring>& names) {
    const std::wstring ours[] = {VLXCAM_NAME_MAIN,    VLXCAM_NAME_NO_PINS,     VLXCAM_NAME_CAPS_BLOCK,
                                 VLXCAM_NAME_REFUSES, VLXCAM_NAME_PREVIEW_PIN, VLXCAM_NAME_SLOW_START,
                                 VLXCAM_NAME_NON_ASCII, VLXCAM_NAME_KEEPS_SIZES, VLXCAM_NAME_UNSTATED_RATE,
                                 // webcam pixel formats
                                 VLXCAM_NAME_YUY2, VLXCAM_NAME_NV12, VLXCAM_NAME_MJPG, VLXCAM_NAME_WEBCAM,
                                 VLXCAM_NAME_UNDECODABLE, VLXCAM_NAME_COARSE_CONTROLS,
                                 // device identity and health: two twins of one name
                                 VLXCAM_NAME_TWIN, VLXCAM_NAME_IN_USE};
    return static_cast<size_t>(std::count_if(names.begin(), names.end(), [&](const std::wstring& name) {
        return std::find(std::begin(ours), std::end(ours), name) != std::end(ours);
    }));
}

bool listed(const std::vector<std::wstring>& names, const wchar_t* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(CameraRegistration, BothWaysAndRemoval) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));

    ASSERT_EQ(regsvr32(L"/u"), 0u);
    EXPECT_EQ(count_ours(video_device_names()), 0u) << "unregistering removes every device";

    ASSERT_EQ(regsvr32(L""), 0u);
    auto names = video_device_names();
    EXPECT_EQ(count_ours(names), 1u);
    EXPECT_TRUE(listed(names, VLXCAM_NAME_MAIN));

    ASSERT_EQ(regsvr32(L"/u"), 0u);
    EXPECT_EQ(count_ours(video_device_names()), 0u);

    // The suite needs every device: leave them registered.
    ASSERT_EQ(regsvr32(L"/n /i:all"), 0u);
    names = video_device_names();
    EXPECT_EQ(count_ours(names), 18u);
    EXPECT_TRUE(listed(names, VLXCAM_NAME_NON_ASCII));
    EXPECT_TRUE(listed(names, VLXCAM_NAME_SLOW_START));

    CoUninitialize();
}

}  // namespace
}  // namespace vlx_test
