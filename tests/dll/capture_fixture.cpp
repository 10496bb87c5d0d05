#include "dll/capture_fixture.h"

#include "support/frame_check.h"

namespace vlx_test {

void Capture::SetUp() {
    ASSERT_EQ(v.Init(), 0);
    camera = device_index(VLXCAM_NAME_MAIN);
    ASSERT_GE(camera, 0) << "the test camera is not registered";
}

void Capture::TearDown() {
    close_every_slot();
    v.SetActiveSel(0);
    reset_reporting();
    v.Exit();
    EXPECT_EQ(camera_live_objects(), 0) << "camera objects left alive";
}

int32_t Capture::wait_for_frame(std::vector<uint8_t>& pixels, BITMAPINFO& header, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    int32_t result = -7;
    while (GetTickCount64() < deadline) {
        int32_t size = static_cast<int32_t>(pixels.size());
        result = v.GetImageMem(pixels.data(), &size, &header);
        if (result != -7) return result;
        Sleep(10);
    }
    return result;
}

uint32_t Capture::grab_frame_number() {
    const int32_t size = v.GetImageMemSize(0);
    std::vector<uint8_t> pixels(static_cast<size_t>(size > 0 ? size : 1));
    BITMAPINFO header{};
    if (wait_for_frame(pixels, header) != 0) return UINT32_MAX;
    return frame_number(pixels.data(), header.bmiHeader.biWidth, header.bmiHeader.biHeight);
}

}  // namespace vlx_test
