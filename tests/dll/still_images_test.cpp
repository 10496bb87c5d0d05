// vlx_SaveBMP and vlx_SaveImage through the DLL on the running test camera:
// refusals and the files they leave. The pictures themselves are checked by
// check_still_images.py with Pillow, from the files StillImageFiles writes.
#include "dll/capture_fixture.h"
#include "support/frame_check.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vlx_test {
namespace {

constexpr char kBmp[] = "dll_snapshot.bmp";
constexpr wchar_t kImage[] = L"dll_still_image.png";

int64_t file_size(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return -1;
    return (int64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}
int64_t file_size(const char* path) {
    const std::string narrow(path);
    return file_size(std::wstring(narrow.begin(), narrow.end()).c_str());
}

void put_file(const char* path, size_t bytes) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

class StillImages : public Capture {
protected:
    void TearDown() override {
        DeleteFileA(kBmp);
        DeleteFileW(kImage);
        Capture::TearDown();
    }
    void run_camera() {
        ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
        ASSERT_GE(v.Play2(), 0);
        std::vector<uint8_t> pixels(921600);
        BITMAPINFO header{};
        ASSERT_EQ(wait_for_frame(pixels, header), 0);
    }
};

TEST_F(StillImages, ClosedSlotTouchesNoFile) {
    put_file(kBmp, 3);
    EXPECT_EQ(v.SaveBMP(kBmp), -1);
    EXPECT_EQ(v.SaveImage(L"dll_snapshot.bmp", 0, 0, 0, 0), -1);
    EXPECT_EQ(file_size(kBmp), 3);
}

TEST_F(StillImages, BeforePlayNothingIsCreated) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    char log[1024] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(1);
    EXPECT_EQ(v.SaveBMP(kBmp), -3);
    EXPECT_EQ(v.SaveImage(kImage, 2, 0, 0, 0), -3);
    EXPECT_EQ(file_size(kBmp), -1);
    EXPECT_EQ(file_size(kImage), -1);
    EXPECT_EQ(std::string(log),
              "1 vlx_SaveBMP->SampleGrabber->GetCurrentBuffer = E_INVALIDARG\r\n"
              "1 vlx_SaveImage->SampleGrabber->GetCurrentBuffer = E_INVALIDARG\r\n");
}

TEST_F(StillImages, RefusalsOfARunningSlot) {
    run_camera();
    EXPECT_EQ(v.SaveImage(kImage, 7, 50, 0, 0), -11);
    EXPECT_EQ(v.SaveImage(kImage, -1, 50, 0, 0), -11);
    // Wine has no JPEG XR or HEIF encoder.
    EXPECT_EQ(v.SaveImage(kImage, 5, 50, 0, 0), -12);
    EXPECT_EQ(v.SaveImage(kImage, 6, 50, 0, 0), -12);
    EXPECT_EQ(file_size(kImage), -1);
    // Values below 65536 are no addresses: refused as a null name is,
    // never handed to the file system.
    for (const intptr_t small : {intptr_t{1}, intptr_t{0xffff}}) {
        EXPECT_EQ(v.SaveBMP(reinterpret_cast<const char*>(small)), -8) << small;
        EXPECT_EQ(v.SaveImage(reinterpret_cast<const wchar_t*>(small), 2, 0, 0, 0), -14) << small;
    }
    EXPECT_EQ(v.SaveBMP("no_such_folder\\snapshot.bmp"), -8);
    EXPECT_EQ(v.SaveImage(L"no_such_folder\\picture.png", 2, 0, 0, 0), -14);
    EXPECT_EQ(file_size(L"no_such_folder"), -1);
}

TEST_F(StillImages, ExistingFilesAreReplaced) {
    run_camera();
    put_file(kBmp, 2000000);
    EXPECT_EQ(v.SaveBMP(kBmp), 0);
    EXPECT_EQ(file_size(kBmp), 921654);
    put_file("dll_still_image.png", 2000000);
    EXPECT_EQ(v.SaveImage(kImage, 2, 0, 0, 0), 0);
    EXPECT_LT(file_size(kImage), 2000000);
}

// Writes the pictures check_still_images.py reads, into the folder named by
// VLX_STILL_PICTURES; skipped when it is not set.
class StillImageFiles : public StillImages {};

TEST_F(StillImageFiles, WrittenFromTheRunningCamera) {
    const char* folder = std::getenv("VLX_STILL_PICTURES");
    if (!folder) GTEST_SKIP() << "run by check_still_images.py";
    const std::string base = std::string(folder) + "\\";
    run_camera();

    // The snapshot and a grab of the same frame: the frame numbers of the
    // grabs either side of the snapshot agree.
    std::vector<uint8_t> before(921600), after(921600);
    BITMAPINFO header{}, after_header{};
    bool held = false;
    for (int attempt = 0; attempt < 20 && !held; ++attempt) {
        ASSERT_EQ(wait_for_frame(before, header), 0);
        ASSERT_EQ(v.SaveBMP((base + "snapshot.bmp").c_str()), 0);
        ASSERT_EQ(wait_for_frame(after, after_header), 0);
        held = frame_number(before.data(), 640, 480) == frame_number(after.data(), 640, 480);
    }
    ASSERT_TRUE(held) << "the camera never held one frame across a snapshot";
    std::ofstream(base + "snapshot.grab", std::ios::binary).write(reinterpret_cast<const char*>(before.data()), 921600);
    std::ofstream(base + "snapshot.header", std::ios::binary).write(reinterpret_cast<const char*>(&header), 44);

    struct Picture {
        const char* name;
        int32_t format, quality, width, height;
    };
    const Picture pictures[] = {
        {"full.bmp", 0, -1, 0, 0},     {"full.jpg", 1, 90, 0, 0},     {"full.png", 2, -1, 0, 0},
        {"full.gif", 3, -1, 0, 0},     {"full.tif", 4, -1, 0, 0},     {"small.bmp", 0, -1, 160, 120},
        {"small.jpg", 1, 90, 160, 120}, {"small.png", 2, -1, 160, 120}, {"small.gif", 3, -1, 160, 120},
        {"small.tif", 4, -1, 160, 120}, {"wide.png", 2, -1, 320, 0},   {"q10.jpg", 1, 10, 0, 0},
        {"q95.jpg", 1, 95, 0, 0},      {"q101.jpg", 1, 101, 0, 0},    {"q-1.jpg", 1, -1, 0, 0},
    };
    for (const Picture& p : pictures) {
        const std::string path = base + p.name;
        const std::wstring wide(path.begin(), path.end());
        EXPECT_EQ(v.SaveImage(wide.c_str(), p.format, p.quality, p.width, p.height), 0) << p.name;
    }
}

}  // namespace
}  // namespace vlx_test
