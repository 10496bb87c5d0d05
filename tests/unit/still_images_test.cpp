// vlx_SaveBMP and vlx_SaveImage in-process: every step code in the order the
// steps run, the files left behind (none after a failure), the encoder
// options of every format and frames the test camera cannot produce.
#include "common/com_ptr.h"
#include "support/frame_check.h"
#include "unit/capture_harness.h"
#include "unit/image_encoder_stand_in.h"
#include "unit/stub_grabber.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace vlx_test {
namespace {

constexpr char kBmp[] = "unit_snapshot.bmp";
constexpr wchar_t kImage[] = L"unit_still_image.out";

bool exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }
bool exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

std::string file_bytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void put_file(const wchar_t* path, const char* text) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    CloseHandle(file);
}

// The picture of an image file as the platform's own decoder reads it,
// converted to a top-down 24-bit DIB; empty when it cannot be read.
std::vector<uint8_t> decode(const wchar_t* path, UINT* width, UINT* height) {
    vlx::ComPtr<IWICImagingFactory> factory;
    vlx::ComPtr<IWICBitmapDecoder> decoder;
    vlx::ComPtr<IWICBitmapFrameDecode> frame;
    vlx::ComPtr<IWICFormatConverter> converter;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_ALL, IID_IWICImagingFactory,
                                factory.put_void())) ||
        FAILED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) || FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(width, height))) {
        return {};
    }
    const UINT stride = ((*width * 24 + 31) / 32) * 4;
    std::vector<uint8_t> bits(size_t{stride} * *height);
    if (FAILED(converter->CopyPixels(nullptr, stride, static_cast<UINT>(bits.size()), bits.data()))) return {};
    return bits;
}

class StillImages : public InProcessCapture {
protected:
    void TearDown() override {
        DeleteFileA(kBmp);
        DeleteFileW(kImage);
        InProcessCapture::TearDown();
    }
};

TEST_F(StillImages, FrameFetchCodesAndLogOfTheFrameFunctions) {
    const StillSlot still({64, 48});
    char log[1024];
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(2);
    struct Function {
        const char* name;
        int32_t (*save)();
    };
    const Function functions[] = {
        {"vlx_SaveBMP", [] { return vlx_SaveBMP(kBmp); }},
        {"vlx_SaveImage", [] { return vlx_SaveImage(kImage, 2, -1, 0, 0); }},
        {"vlx_GetImageMem", [] {
             static uint8_t pixels[64 * 3 * 48];
             int32_t size = sizeof pixels;
             BITMAPINFO header;
             return vlx_GetImageMem(pixels, &size, &header);
         }},
    };
    struct Case {
        const char* call;
        HRESULT status;
        const char* status_name;
        int32_t code;
    };
    const Case cases[] = {
        {"GetConnectedMediaType", E_FAIL, "E_FAIL", -2},
        {"GetConnectedMediaType", S_FALSE, "S_FALSE", -2},
        {"GetCurrentBuffer", E_INVALIDARG, "E_INVALIDARG", -3},
        {"GetCurrentBuffer", E_OUTOFMEMORY, "E_OUTOFMEMORY", -4},
        {"GetCurrentBuffer", E_POINTER, "E_POINTER", -5},
        {"GetCurrentBuffer", VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED", -6},
        {"GetCurrentBuffer", VFW_E_WRONG_STATE, "VFW_E_WRONG_STATE", -7},
        // Any other failure leaves no frame: never a success.
        {"GetCurrentBuffer", E_FAIL, "E_FAIL", -34},
        {"GetCurrentBuffer", E_UNEXPECTED, "E_UNEXPECTED", -34},
    };
    for (const Function& f : functions) {
        for (const Case& c : cases) {
            log[0] = '\0';
            const std::string prefix = std::string("1 ") + f.name + "->SampleGrabber->";
            vlx::fault::arm((prefix.substr(2) + c.call).c_str(), c.status, 0, 1);
            EXPECT_EQ(f.save(), c.code) << f.name << " " << c.status_name;
            std::string expected = prefix + "GetConnectedMediaType = ";
            expected += c.code == -2 ? std::string(c.status_name) + "\r\n"
                                     : "S_OK\r\n" + prefix + "GetCurrentBuffer = " + c.status_name + "\r\n";
            EXPECT_EQ(std::string(log), expected) << f.name;
            EXPECT_FALSE(exists(kBmp) || exists(kImage)) << f.name << " " << c.status_name;
        }
    }
    // A whole run logs the same two calls.
    for (const Function& f : functions) {
        log[0] = '\0';
        EXPECT_EQ(f.save(), 0) << f.name;
        const std::string prefix = std::string("1 ") + f.name + "->SampleGrabber->";
        EXPECT_EQ(std::string(log),
                  prefix + "GetConnectedMediaType = S_OK\r\n" + prefix + "GetCurrentBuffer = S_OK\r\n");
    }
}

// A grabber that answers a success code without filling the copy leaves it
// as the library made it: zeroed, never what the heap held before.
TEST_F(StillImages, FrameCopyNeverHoldsStaleHeapBytes) {
    const StillSlot still({64, 48});
    const size_t frame_bytes = still.bytes().size();
    for (int round = 0; round < 8; ++round) {
        std::unique_ptr<uint8_t[]> dirty(new uint8_t[frame_bytes]);
        std::memset(dirty.get(), 0xA5, frame_bytes);
    }
    vlx::fault::arm("vlx_SaveBMP->SampleGrabber->GetCurrentBuffer", S_FALSE, 0, 1);
    ASSERT_EQ(vlx_SaveBMP(kBmp), 0);
    const std::string file = file_bytes(kBmp);
    ASSERT_EQ(file.size(), 54 + frame_bytes);
    EXPECT_EQ(file.find_first_not_of('\0', 54), std::string::npos);
}

// GDI reads only the whole rows the frame copy holds: with a sample one byte
// short of its header's rows, the top row of the destination is not drawn.
TEST_F(StillImages, DrawingNeverReadsPastTheFrameCopy) {
    const StillSlot still({64, 48, 1});
    BITMAPINFO target{};
    target.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, -48, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(dc && bitmap);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    auto* pixels = static_cast<uint32_t*>(bits);
    std::fill(pixels, pixels + 64 * 48, 0x00123456u);
    EXPECT_EQ(vlx_GetImage(dc, 0, 0, 64, 48), 0);
    GdiFlush();
    EXPECT_EQ(pixels[0], 0x00123456u) << "the row the copy does not hold stays untouched";
    EXPECT_EQ(pixels[64] & 0xFFFFFFu, 0xFF0000u) << "the next row is the picture (red top-left corner)";
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(StillImages, MissingSampleGrabber) {
    const StillSlot still({64, 48});
    vlx::ComPtr<ISampleGrabber> kept = std::move(vlx::active_slot().sample_grabber);
    EXPECT_EQ(vlx_SaveBMP(kBmp), -9);
    EXPECT_EQ(vlx_SaveImage(kImage, 0, 0, 0, 0), -9);
    EXPECT_FALSE(exists(kBmp) || exists(kImage));
}

// Each WIC step failing in turn. Steps before the file is opened leave an
// existing file alone; a failure after it leaves no file at all, not even
// the one that was there.
TEST_F(StillImages, EveryPipelineStepCode) {
    const StillSlot still({64, 48});
    struct Step {
        const char* name;
        int32_t code;
        bool after_file;
    };
    const Step steps[] = {
        {"CoCreateInstance(WICImagingFactory)", -10, false},
        {"ImagingFactory.CreateEncoder", -12, false},
        {"ImagingFactory.CreateStream", -13, false},
        {"Stream.InitializeFromFilename", -14, false},
        {"Encoder.Initialize", -15, true},
        {"Encoder.CreateNewFrame", -16, true},
        {"PropertyBag.Write", -17, true},
        {"FrameEncode.Initialize", -18, true},
        {"FrameEncode.SetSize", -19, true},
        {"FrameEncode.SetPixelFormat", -20, true},
        {"ImagingFactory.CreateBitmap", -21, true},
        {"Bitmap.Lock", -22, true},
        {"BitmapLock.GetDataPointer", -23, true},
        {"BitmapLock.GetStride", -23, true},
        {"ImagingFactory.CreateFormatConverter", -25, true},
        {"ImagingFactory.CreateBitmapFlipRotator", -26, true},
        {"FlipRotator.Initialize", -27, true},
        {"ImagingFactory.CreateBitmapScaler", -28, true},
        {"Scaler.Initialize", -29, true},
        {"FormatConverter.Initialize", -30, true},
        {"FrameEncode.WriteSource", -31, true},
        {"FrameEncode.Commit", -32, true},
        {"Encoder.Commit", -33, true},
    };
    for (const Step& s : steps) {
        put_file(kImage, "old");
        vlx::fault::arm((std::string("vlx_SaveImage.") + s.name).c_str(), WINCODEC_ERR_INTERNALERROR, 0, 1);
        EXPECT_EQ(vlx_SaveImage(kImage, 1, 50, 0, 0), s.code) << s.name;
        EXPECT_EQ(exists(kImage), !s.after_file) << s.name;
    }
    // A format the table does not hold is refused after the factory step.
    vlx::fault::clear_all();
    for (const int32_t format : {7, -1}) {
        put_file(kImage, "old");
        EXPECT_EQ(vlx_SaveImage(kImage, format, 50, 0, 0), -11) << format;
        EXPECT_EQ(vlx::fault::attempts("vlx_SaveImage.ImagingFactory.CreateEncoder"), 0);
        EXPECT_TRUE(exists(kImage));
    }
    vlx::fault::arm("vlx_SaveImage.CoCreateInstance(WICImagingFactory)", REGDB_E_CLASSNOTREG, 0, 1);
    EXPECT_EQ(vlx_SaveImage(kImage, 7, 50, 0, 0), -10) << "the factory comes first";
    // Without faults the same request writes the file.
    EXPECT_EQ(vlx_SaveImage(kImage, 1, 50, 0, 0), 0);
    UINT width = 0, height = 0;
    EXPECT_FALSE(decode(kImage, &width, &height).empty());
}

TEST_F(StillImages, FrameShorterThanItsHeaderIsNotRead) {
    const StillSlot still({64, 48, 1});
    EXPECT_EQ(vlx_SaveImage(kImage, 2, 0, 0, 0), -24);
    EXPECT_FALSE(exists(kImage));
}

// Wine has no JPEG XR or HEIF encoder; behind the stand-in both run the
// whole pipeline, and every format shows exactly the option it writes.
TEST_F(StillImages, EncoderOptionsOfEveryFormat) {
    const ImageEncoderStandIns stand_ins;
    const StillSlot still({64, 48});
    struct Row {
        int32_t format;
        const GUID* container;
        int32_t quality;
        const wchar_t* option;  // null: none
        VARTYPE type;
        float real;
    };
    const Row rows[] = {
        {0, &GUID_ContainerFormatBmp, 50, nullptr, VT_EMPTY, 0},
        {1, &GUID_ContainerFormatJpeg, 0, L"ImageQuality", VT_R4, 0.0f},
        {1, &GUID_ContainerFormatJpeg, 75, L"ImageQuality", VT_R4, 0.75f},
        {1, &GUID_ContainerFormatJpeg, 100, L"ImageQuality", VT_R4, 1.0f},
        {1, &GUID_ContainerFormatJpeg, 101, nullptr, VT_EMPTY, 0},
        {1, &GUID_ContainerFormatJpeg, -1, nullptr, VT_EMPTY, 0},
        {2, &GUID_ContainerFormatPng, 50, nullptr, VT_EMPTY, 0},
        {3, &GUID_ContainerFormatGif, 50, nullptr, VT_EMPTY, 0},
        {4, &GUID_ContainerFormatTiff, 30, L"CompressionQuality", VT_R4, 0.3f},
        {4, &GUID_ContainerFormatTiff, 101, nullptr, VT_EMPTY, 0},
        {5, &GUID_ContainerFormatWmp, 75, L"ImageQuality", VT_R4, 0.75f},
        {5, &GUID_ContainerFormatWmp, 101, L"Lossless", VT_BOOL, 0},
        {5, &GUID_ContainerFormatWmp, -1, L"Lossless", VT_BOOL, 0},
        {6, &GUID_ContainerFormatHeif, 10, L"ImageQuality", VT_R4, 0.1f},
        {6, &GUID_ContainerFormatHeif, -5, nullptr, VT_EMPTY, 0},
    };
    for (const Row& r : rows) {
        const size_t before = stand_ins.uses().size();
        EXPECT_EQ(vlx_SaveImage(kImage, r.format, r.quality, 0, 0), 0) << r.format << " " << r.quality;
        ASSERT_EQ(stand_ins.uses().size(), before + 1);
        const EncoderUse& use = stand_ins.uses().back();
        EXPECT_TRUE(IsEqualGUID(use.container, *r.container)) << r.format;
        if (!r.option) {
            EXPECT_TRUE(use.options.empty()) << r.format << " " << r.quality;
            continue;
        }
        ASSERT_EQ(use.options.size(), 1u) << r.format << " " << r.quality;
        const WrittenOption& o = use.options[0];
        EXPECT_EQ(o.name, r.option);
        EXPECT_EQ(o.type, r.type) << r.format << " " << r.quality;
        if (r.type == VT_R4) {
            EXPECT_FLOAT_EQ(o.real, r.real) << r.format << " " << r.quality;
        } else {
            EXPECT_EQ(o.flag, 1) << r.format << " " << r.quality;
        }
        EXPECT_EQ(o.record_type, 0u);
        EXPECT_EQ(o.record_vt, VT_EMPTY);
    }
}

// Frames whose rows run top-down, and widths whose rows are padded, come
// out upright with the camera's corners where they belong.
TEST_F(StillImages, UprightWhicheverWayTheRowsRun) {
    const StillFrame frames[] = {{640, -480}, {101, 75}, {101, -75}};
    for (const StillFrame& f : frames) {
        const StillSlot still(f);
        for (const int32_t format : {0, 2}) {
            ASSERT_EQ(vlx_SaveImage(kImage, format, -1, 0, 0), 0) << f.width << "x" << f.height;
            UINT width = 0, height = 0;
            const std::vector<uint8_t> bits = decode(kImage, &width, &height);
            ASSERT_FALSE(bits.empty());
            EXPECT_EQ(width, static_cast<UINT>(f.width));
            EXPECT_EQ(height, static_cast<UINT>(std::abs(f.height)));
            EXPECT_EQ(corner_problem(bits.data(), f.width, -static_cast<int32_t>(height)), "")
                << f.width << "x" << f.height << " format " << format;
        }
    }
}

TEST_F(StillImages, BmpSnapshotKeepsATopDownFrameAsItIs) {
    const StillSlot still({101, -75});
    ASSERT_EQ(vlx_SaveBMP(kBmp), 0);
    const std::string file = file_bytes(kBmp);
    ASSERT_EQ(file.size(), 54 + still.bytes().size());
    BITMAPFILEHEADER file_header;
    BITMAPINFOHEADER info;
    std::memcpy(&file_header, file.data(), sizeof file_header);
    std::memcpy(&info, file.data() + 14, sizeof info);
    EXPECT_EQ(file_header.bfSize, file.size());
    EXPECT_EQ(file_header.bfOffBits, 54u);
    EXPECT_EQ(info.biWidth, 101);
    EXPECT_EQ(info.biHeight, -75);
    EXPECT_EQ(file.compare(54, std::string::npos, reinterpret_cast<const char*>(still.bytes().data()),
                           still.bytes().size()),
              0);
}

// A failed or short write of any of the three parts: -10, and the partial
// file is removed.
TEST_F(StillImages, BmpWriteThatFailsLeavesNoFile) {
    const StillSlot still({64, 48});
    for (int part = 0; part < 3; ++part) {
        vlx::fault::arm("vlx_SaveBMP.WriteFile", HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL), part, 1);
        EXPECT_EQ(vlx_SaveBMP(kBmp), -10) << part;
        EXPECT_FALSE(exists(kBmp)) << part;
    }
    EXPECT_EQ(vlx_SaveBMP(kBmp), 0);
    EXPECT_TRUE(exists(kBmp));
}

}  // namespace
}  // namespace vlx_test
