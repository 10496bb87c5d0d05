#include "dll/capture_fixture.h"

#include "support/frame_check.h"

namespace vlx_test {

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size - 1));
    return result;
}

void Capture::SetUp() {
    ASSERT_EQ(v.Init(), 0);
    camera = device_index(VLXCAM_NAME_MAIN);
    ASSERT_GE(camera, 0) << "the test camera is not registered";
}

void Capture::TearDown() {
    for (int32_t slot = 0; slot < VLX_SLOT_COUNT; ++slot) {
        v.SetActiveSel(slot);
        v.Close();
        v.SetDevWidth(0);
        v.SetDevHeight(0);
        v.SetDevFrameRate(0.0);
    }
    v.SetActiveSel(0);
    reset_reporting();
    v.Exit();
    EXPECT_EQ(camera_live_objects(), 0) << "camera objects left alive";
}

int32_t Capture::device_index(const wchar_t* name) {
    const int32_t size = v.GetDeviceListSize(0);
    if (size <= 0) return -1;
    std::vector<char> text(static_cast<size_t>(size), '\0');
    v.GetDeviceList(text.data(), 0);
    const std::string wanted = utf8(name);
    std::string list(text.data());
    int32_t index = 0;
    for (size_t start = 0; start < list.size(); ++index) {
        const size_t end = list.find("\r\n", start);
        if (list.compare(start, end - start, wanted) == 0 && end - start == wanted.size()) return index;
        start = end + 2;
    }
    return -1;
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
