// The newest frame into host memory and onto a device context.
#include "dll/capture_fixture.h"
#include "support/frame_check.h"

#include <cstring>

namespace vlx_test {
namespace {

class Frames : public Capture {};

TEST_F(Frames, BeforePlayBufferingIsOff) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.GetImageMemSize(0), 921600);
    EXPECT_EQ(v.GetImageMemSize(1), 44);
    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header{};
    int32_t size = 921600;
    EXPECT_EQ(v.GetImageMem(pixels.data(), &size, &header), -3);
    EXPECT_EQ(v.GetLastError(), E_INVALIDARG);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(v.GetImage(dc, 0, 0, 640, 480), -3);
    DeleteDC(dc);
}

TEST_F(Frames, BeforeTheFirstSampleNothingIsThereYet) {
    const int32_t slow = device_index(VLXCAM_NAME_SLOW_START);
    ASSERT_GE(slow, 0);
    ASSERT_EQ(v.Open(slow, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header{};
    int32_t size = 921600;
    EXPECT_EQ(v.GetImageMem(pixels.data(), &size, &header), -7);
    EXPECT_EQ(v.GetLastError(), VFW_E_WRONG_STATE);
}

TEST_F(Frames, MemoryCopyWithHeader) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header;
    std::memset(&header, 0xcc, sizeof header);
    ASSERT_EQ(wait_for_frame(pixels, header), 0);
    EXPECT_EQ(corner_problem(pixels.data(), 640, 480), "");

    // The 44 bytes: the connected bmiHeader, then four zero bytes.
    EXPECT_EQ(header.bmiHeader.biSize, 40u);
    EXPECT_EQ(header.bmiHeader.biWidth, 640);
    EXPECT_EQ(header.bmiHeader.biHeight, 480) << "bottom-up";
    EXPECT_EQ(header.bmiHeader.biPlanes, 1);
    EXPECT_EQ(header.bmiHeader.biBitCount, 24);
    EXPECT_EQ(header.bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.bmiHeader.biSizeImage, 921600u);
    const uint8_t zero[4] = {0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&header.bmiColors[0], zero, 4), 0);

    // A buffer one byte short: -4, no header.
    BITMAPINFO untouched;
    std::memset(&untouched, 0xcc, sizeof untouched);
    BITMAPINFO small_header = untouched;
    int32_t size = 921599;
    EXPECT_EQ(v.GetImageMem(pixels.data(), &size, &small_header), -4);
    EXPECT_EQ(std::memcmp(&small_header, &untouched, sizeof untouched), 0);

    // No pixel memory: the size alone, and the header.
    BITMAPINFO size_header = untouched;
    size = 0;
    EXPECT_EQ(v.GetImageMem(nullptr, &size, &size_header), 0);
    EXPECT_EQ(size, 921600);
    EXPECT_EQ(size_header.bmiHeader.biWidth, 640);

    EXPECT_EQ(v.GetImageMem(pixels.data(), nullptr, &size_header), -5) << "no size";
    size = 921600;
    EXPECT_EQ(v.GetImageMem(pixels.data(), &size, nullptr), -5) << "no header";
}

TEST_F(Frames, FrameNumbersAdvanceBetweenGrabs) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    const uint32_t first = grab_frame_number();
    ASSERT_NE(first, UINT32_MAX);
    Sleep(200);
    const uint32_t second = grab_frame_number();
    EXPECT_GT(second, first);
}

TEST_F(Frames, DrawnUprightOntoAMemoryDc) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    std::vector<uint8_t> probe(921600);
    BITMAPINFO probe_header{};
    ASSERT_EQ(wait_for_frame(probe, probe_header), 0);

    // A top-down 24-bit section, so its rows read in picture order.
    BITMAPINFO target{};
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = 640;
    target.bmiHeader.biHeight = -480;
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(dc, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(section);
    HGDIOBJ old = SelectObject(dc, section);

    EXPECT_EQ(v.GetImage(dc, 0, 0, 640, 480), 0);
    GdiFlush();
    EXPECT_EQ(corner_problem(static_cast<uint8_t*>(bits), 640, -480), "");

    // A height beyond the frame reads no row past the frame copy.
    EXPECT_EQ(v.GetImage(dc, 0, 0, 640, 100000), 0);

    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
}

TEST_F(Frames, DcThatGdiRejects) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    std::vector<uint8_t> probe(921600);
    BITMAPINFO probe_header{};
    ASSERT_EQ(wait_for_frame(probe, probe_header), 0);
    HDC dc = CreateCompatibleDC(nullptr);
    DeleteDC(dc);  // a handle GDI no longer knows
    EXPECT_EQ(v.GetImage(dc, 0, 0, 640, 480), -8);
}

TEST_F(Frames, ClosedSlotRefusesEverything) {
    EXPECT_EQ(v.GetImageMemSize(0), -1);
    EXPECT_EQ(v.GetImageMemSize(1), -1);
    int32_t size = 0;
    EXPECT_EQ(v.GetImageMem(nullptr, &size, nullptr), -1);
    EXPECT_EQ(v.GetImage(nullptr, 0, 0, 1, 1), -1);
}

}  // namespace
}  // namespace vlx_test
