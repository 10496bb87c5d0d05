// Shared set-up of the capture tests through the DLL: an initialised
// library, the test camera's device index, and a check that each test
// leaves every slot closed and no camera object alive. device_index (from
// the host library) finds the other devices.
#pragma once

#include "dll/host_library.h"
#include "support/camera_graph.h"
#include "vidlox_testcam.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vlx_test {

class Capture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Polls vlx_GetImageMem until a frame arrives; its result.
    int32_t wait_for_frame(std::vector<uint8_t>& pixels, BITMAPINFO& header, DWORD timeout_ms = 5000);
    uint32_t grab_frame_number();

    const Vidlox& v = vidlox();
    int32_t camera = -1;  // "vidlox Test Camera"
};

}  // namespace vlx_test
