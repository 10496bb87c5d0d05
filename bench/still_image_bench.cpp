// vlx_SaveBMP and vlx_SaveImage on a 1920x1080 frame of the test camera,
// each against its floor measured in the same run, interleaved call by call:
//  - vlx_SaveBMP against one vlx_GetImageMem plus one WriteFile of the same
//    bytes (header and pixels in one block), into a block the host reuses
//    and into a fresh one per call, as the library's own frame copy is;
//  - vlx_SaveImage JPEG and PNG against the same WIC pipeline built here by
//    hand on a frame already in memory, so that the ratio is the library's
//    own overhead next to the encoder.
#include "bench_support.h"
#include "common/com_ptr.h"
#include "dll/host_library.h"
#include "support/camera_graph.h"
#include "vidlox_testcam.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using vlx::ComPtr;
using vlx_test::vidlox;

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;
constexpr int kRounds = 15;

double seconds_of(const std::function<void()>& call) {
    const double start = vlx_bench::now_seconds();
    call();
    return vlx_bench::now_seconds() - start;
}

// The floor of a BMP snapshot: the frame into host memory behind a 54-byte
// header, and one write of the whole block.
void grab_and_write(uint8_t* block, size_t bytes) {
    const vlx_test::Vidlox& v = vidlox();
    int32_t size = static_cast<int32_t>(bytes - 54);
    BITMAPINFO header{};
    v.GetImageMem(block + 54, &size, &header);
    BITMAPFILEHEADER file_header{};
    file_header.bfType = 0x4D42;
    file_header.bfSize = static_cast<DWORD>(bytes);
    file_header.bfOffBits = 54;
    std::memcpy(block, &file_header, 14);
    std::memcpy(block + 14, &header.bmiHeader, 40);
    HANDLE file = CreateFileA("bench_floor.bmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    DWORD written = 0;
    WriteFile(file, block, static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(file);
}

// The WIC pipeline by hand on a bottom-up frame in memory: flip upright,
// scale to its own size, convert to what the encoder takes, encode.
bool encode_by_hand(const std::vector<uint8_t>& frame, const GUID& container, const wchar_t* quality_option,
                    float quality, const wchar_t* path) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapFrameEncode> frame_encode;
    ComPtr<IPropertyBag2> options;
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IWICBitmapLock> lock;
    ComPtr<IWICFormatConverter> converter;
    ComPtr<IWICBitmapFlipRotator> flip;
    ComPtr<IWICBitmapScaler> scaler;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const WICRect whole{0, 0, kWidth, kHeight};
    UINT capacity = 0;
    BYTE* target = nullptr;
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(quality_option);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = quality;
    const bool built =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_ALL, IID_IWICImagingFactory,
                                   factory.put_void())) &&
        SUCCEEDED(factory->CreateEncoder(container, nullptr, encoder.put())) &&
        SUCCEEDED(factory->CreateStream(stream.put())) &&
        SUCCEEDED(stream->InitializeFromFilename(path, GENERIC_WRITE)) &&
        SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame_encode.put(), options.put())) &&
        (!quality_option || SUCCEEDED(options->Write(1, &option, &value))) &&
        SUCCEEDED(frame_encode->Initialize(options.get())) && SUCCEEDED(frame_encode->SetSize(kWidth, kHeight)) &&
        SUCCEEDED(frame_encode->SetPixelFormat(&format)) &&
        SUCCEEDED(factory->CreateBitmap(kWidth, kHeight, GUID_WICPixelFormat24bppBGR, WICBitmapCacheOnLoad,
                                        bitmap.put())) &&
        SUCCEEDED(bitmap->Lock(&whole, WICBitmapLockWrite, lock.put())) &&
        SUCCEEDED(lock->GetDataPointer(&capacity, &target)) && capacity >= frame.size();
    if (!built) return false;
    std::memcpy(target, frame.data(), frame.size());
    lock.reset();
    return SUCCEEDED(factory->CreateFormatConverter(converter.put())) &&
           SUCCEEDED(factory->CreateBitmapFlipRotator(flip.put())) &&
           SUCCEEDED(flip->Initialize(bitmap.get(), WICBitmapTransformFlipVertical)) &&
           SUCCEEDED(factory->CreateBitmapScaler(scaler.put())) &&
           SUCCEEDED(scaler->Initialize(flip.get(), kWidth, kHeight, WICBitmapInterpolationModeCubic)) &&
           SUCCEEDED(converter->Initialize(scaler.get(), format, WICBitmapDitherTypeErrorDiffusion, nullptr, 0.0,
                                           WICBitmapPaletteTypeMedianCut)) &&
           SUCCEEDED(frame_encode->WriteSource(converter.get(), nullptr)) &&
           SUCCEEDED(frame_encode->Commit()) && SUCCEEDED(encoder->Commit());
}

void report(const char* what, const std::vector<double>& ours, const char* floor_name,
            const std::vector<double>& floor) {
    const double a = vlx_bench::median(ours), b = vlx_bench::median(floor);
    std::printf("%-22s %8.2f ms   %-28s %8.2f ms   ratio %.3f\n", what, a * 1e3, floor_name, b * 1e3, a / b);
}

}  // namespace

int main() {
    const vlx_test::Vidlox& v = vidlox();
    const int32_t camera = vlx_test::init_and_find_device(VLXCAM_NAME_MAIN);
    if (camera < 0) return 1;
    v.SetDevWidth(kWidth);
    v.SetDevHeight(kHeight);
    v.SetDevFrameRate(30.0);
    if (v.Open(camera, 6, 0, 0, 0) < 0 || v.Play2() < 0) {
        std::fprintf(stderr, "cannot open the camera at %dx%d\n", kWidth, kHeight);
        return 1;
    }
    const int32_t bytes = v.GetImageMemSize(0);
    std::vector<uint8_t> frame(static_cast<size_t>(bytes)), block(static_cast<size_t>(bytes) + 54);
    BITMAPINFO header{};
    int32_t size = bytes;
    while (v.GetImageMem(frame.data(), &size, &header) == -7) Sleep(1);
    if (!encode_by_hand(frame, GUID_ContainerFormatJpeg, L"ImageQuality", 0.9f, L"bench_floor.jpg")) {
        std::fprintf(stderr, "the hand-built pipeline failed\n");
        return 1;
    }

    std::vector<double> bmp, bmp_floor, bmp_fresh_floor, jpeg, jpeg_floor, png, png_floor;
    for (int round = 0; round < kRounds; ++round) {
        bmp.push_back(seconds_of([&] { v.SaveBMP("bench_library.bmp"); }));
        bmp_floor.push_back(seconds_of([&] { grab_and_write(block.data(), block.size()); }));
        bmp_fresh_floor.push_back(seconds_of([&] {
            const std::unique_ptr<uint8_t[]> fresh(new uint8_t[block.size()]);
            grab_and_write(fresh.get(), block.size());
        }));
        jpeg.push_back(seconds_of([&] { v.SaveImage(L"bench_library.jpg", 1, 90, 0, 0); }));
        jpeg_floor.push_back(seconds_of(
            [&] { encode_by_hand(frame, GUID_ContainerFormatJpeg, L"ImageQuality", 0.9f, L"bench_floor.jpg"); }));
        png.push_back(seconds_of([&] { v.SaveImage(L"bench_library.png", 2, -1, 0, 0); }));
        png_floor.push_back(seconds_of(
            [&] { encode_by_hand(frame, GUID_ContainerFormatPng, nullptr, 0.0f, L"bench_floor.png"); }));
    }
    std::printf("%dx%d, median of %d interleaved rounds\n", kWidth, kHeight, kRounds);
    report("vlx_SaveBMP", bmp, "vlx_GetImageMem + WriteFile", bmp_floor);
    report("vlx_SaveBMP", bmp, "the same into a fresh block", bmp_fresh_floor);
    report("vlx_SaveImage JPEG 90", jpeg, "WIC pipeline by hand", jpeg_floor);
    report("vlx_SaveImage PNG", png, "WIC pipeline by hand", png_floor);

    v.Close();
    v.SetDevWidth(0);
    v.SetDevHeight(0);
    v.SetDevFrameRate(0.0);
    for (const char* name : {"bench_library.bmp", "bench_floor.bmp", "bench_library.jpg", "bench_floor.jpg",
                             "bench_library.png", "bench_floor.png"}) {
        DeleteFileA(name);
    }
    v.Exit();
    return 0;
}
