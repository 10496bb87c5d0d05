// The test codec through msvfw32, the way Wine's AVI Decompressor uses it:
// ICLocate finds it by the input format alone, ICDecompress gives bottom-up
// RGB24; and its regsvr32 registration.
#include "common/com_ptr.h"
#include "support/regsvr32.h"
#include "vidlox_testcodec.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <vfw.h>
#include <wincodec.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

constexpr DWORD kYuy2 = MAKEFOURCC('Y', 'U', 'Y', '2');
constexpr DWORD kNv12 = MAKEFOURCC('N', 'V', '1', '2');
constexpr DWORD kMjpg = MAKEFOURCC('M', 'J', 'P', 'G');
constexpr wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr wchar_t kCodecDll[] = L"vidlox-testcodec64.dll";

BITMAPINFOHEADER input_format(DWORD fourcc, LONG width, LONG height, DWORD size) {
    BITMAPINFOHEADER in{sizeof(BITMAPINFOHEADER), width, height, 1, 16, fourcc, size};
    return in;
}

BITMAPINFOHEADER rgb24(LONG width, LONG height) {
    BITMAPINFOHEADER out{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB};
    out.biSizeImage = static_cast<DWORD>(((width * 24 + 31) / 32) * 4 * std::labs(height));
    return out;
}

// The decompressor ICLocate finds for `in`, closed at the end of the scope.
class Located {
public:
    explicit Located(BITMAPINFOHEADER in) : hic_(ICLocate(ICTYPE_VIDEO, 0, &in, nullptr, ICMODE_DECOMPRESS)) {}
    ~Located() {
        if (hic_) ICClose(hic_);
    }
    HIC get() const { return hic_; }

private:
    HIC hic_;
};

struct Bgr {
    int b, g, r;
};

// The pixel at upright (x, y) of a bottom-up RGB24 frame.
Bgr pixel(const std::vector<uint8_t>& frame, LONG width, LONG height, LONG x, LONG y) {
    const size_t stride = static_cast<size_t>(((width * 24 + 31) / 32) * 4);
    const uint8_t* p = frame.data() + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
    return {p[0], p[1], p[2]};
}

void expect_colour(const Bgr& got, const Bgr& want, int tolerance, const char* where) {
    EXPECT_LE(std::abs(got.b - want.b), tolerance) << where;
    EXPECT_LE(std::abs(got.g - want.g), tolerance) << where;
    EXPECT_LE(std::abs(got.r - want.r), tolerance) << where;
}

constexpr Bgr kRed{0, 0, 255};
constexpr Bgr kBlue{255, 0, 0};

// 4x4 pictures, the upper two rows red and the lower two blue, in BT.601
// limited range: red is Y 82, Cb 90, Cr 240; blue is Y 41, Cb 240, Cr 110.
std::vector<uint8_t> yuy2_red_over_blue() {
    std::vector<uint8_t> frame;
    for (int row = 0; row < 4; ++row) {
        const uint8_t pair[2][4] = {{82, 90, 82, 240}, {41, 240, 41, 110}};
        for (int x = 0; x < 2; ++x) frame.insert(frame.end(), pair[row / 2], pair[row / 2] + 4);
    }
    return frame;
}

std::vector<uint8_t> nv12_red_over_blue() {
    return {82, 82, 82, 82, 82, 82, 82, 82, 41, 41, 41, 41, 41, 41, 41, 41,  // luma
            90, 240, 90, 240, 240, 110, 240, 110};                           // Cb Cr per 2x2
}

TEST(TestCodec, YuvFramesBecomeBottomUpRgb) {
    const struct {
        const char* name;
        DWORD fourcc;
        std::vector<uint8_t> frame;
    } cases[] = {{"YUY2", kYuy2, yuy2_red_over_blue()}, {"NV12", kNv12, nv12_red_over_blue()}};
    for (const auto& c : cases) {
        BITMAPINFOHEADER in = input_format(c.fourcc, 4, 4, static_cast<DWORD>(c.frame.size()));
        Located codec(in);
        ASSERT_TRUE(codec.get()) << c.name << ": ICLocate finds the codec by the input format";
        BITMAPINFOHEADER out = rgb24(4, 4);
        ASSERT_EQ(ICDecompressBegin(codec.get(), &in, &out), ICERR_OK);
        std::vector<uint8_t> rgb(out.biSizeImage);
        ASSERT_EQ(ICDecompress(codec.get(), 0, &in, const_cast<uint8_t*>(c.frame.data()), &out, rgb.data()),
                  ICERR_OK)
            << c.name;
        expect_colour(pixel(rgb, 4, 4, 1, 0), kRed, 1, c.name);
        expect_colour(pixel(rgb, 4, 4, 2, 3), kBlue, 1, c.name);
        EXPECT_EQ(ICDecompressEnd(codec.get()), ICERR_OK);

        // A frame shorter than its format is refused, not read beyond.
        in.biSizeImage = static_cast<DWORD>(c.frame.size() - 1);
        EXPECT_EQ(ICDecompress(codec.get(), 0, &in, const_cast<uint8_t*>(c.frame.data()), &out, rgb.data()),
                  ICERR_BADSIZE)
            << c.name;
    }
}

// A 16x16 JPEG from the platform's encoder, red over blue.
std::vector<uint8_t> jpeg_red_over_blue() {
    vlx::ComPtr<IWICImagingFactory> factory;
    vlx::ComPtr<IWICStream> stream;
    vlx::ComPtr<IWICBitmapEncoder> encoder;
    vlx::ComPtr<IWICBitmapFrameEncode> frame;
    std::vector<uint8_t> pixels(16 * 16 * 3);
    for (size_t i = 0; i < 16 * 16; ++i) pixels[i * 3 + (i < 128 ? 2 : 0)] = 255;  // top-down BGR
    std::vector<uint8_t> jpeg(8192);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    ULARGE_INTEGER size{};
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void())) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(jpeg.data(), static_cast<DWORD>(jpeg.size()))) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(16, 16)) || FAILED(frame->SetPixelFormat(&format)) ||
        FAILED(frame->WritePixels(16, 48, static_cast<UINT>(pixels.size()), pixels.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()) || FAILED(stream->Seek({}, STREAM_SEEK_CUR, &size))) {
        return {};
    }
    jpeg.resize(static_cast<size_t>(size.QuadPart));
    return jpeg;
}

// The same stream without its DHT segments, as many cameras send frames.
std::vector<uint8_t> without_huffman_tables(std::vector<uint8_t> jpeg) {
    for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at + 1] != 0xda;) {
        const size_t segment = 2 + (static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
        if (jpeg[at + 1] == 0xc4)
            jpeg.erase(jpeg.begin() + static_cast<std::ptrdiff_t>(at),
                       jpeg.begin() + static_cast<std::ptrdiff_t>(at + segment));
        else
            at += segment;
    }
    return jpeg;
}

TEST(TestCodec, MjpgFramesWithAndWithoutHuffmanTables) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    const std::vector<uint8_t> with_tables = jpeg_red_over_blue();
    ASSERT_FALSE(with_tables.empty());
    const std::vector<uint8_t> without_tables = without_huffman_tables(with_tables);
    ASSERT_LT(without_tables.size(), with_tables.size()) << "the encoder wrote Huffman tables";
    std::vector<uint8_t> garbage = with_tables;
    garbage.resize(garbage.size() / 2);
    garbage[0] = 0;

    BITMAPINFOHEADER in = input_format(kMjpg, 16, 16, 0);
    Located codec(in);
    ASSERT_TRUE(codec.get());
    BITMAPINFOHEADER out = rgb24(16, 16);
    std::vector<uint8_t> rgb(out.biSizeImage);
    for (const auto* frame : {&with_tables, &without_tables}) {
        in.biSizeImage = static_cast<DWORD>(frame->size());
        ASSERT_EQ(ICDecompress(codec.get(), 0, &in, const_cast<uint8_t*>(frame->data()), &out, rgb.data()),
                  ICERR_OK);
        const char* which = frame == &with_tables ? "with tables" : "without tables";
        expect_colour(pixel(rgb, 16, 16, 4, 2), kRed, 8, which);
        expect_colour(pixel(rgb, 16, 16, 12, 13), kBlue, 8, which);
    }
    in.biSizeImage = static_cast<DWORD>(garbage.size());
    EXPECT_NE(ICDecompress(codec.get(), 0, &in, garbage.data(), &out, rgb.data()), ICERR_OK);
    CoUninitialize();
}

TEST(TestCodec, FormatQueriesAndRefusals) {
    BITMAPINFOHEADER in = input_format(kYuy2, 640, 480, 640 * 2 * 480);
    Located codec(in);
    ASSERT_TRUE(codec.get());
    EXPECT_EQ(ICDecompressQuery(codec.get(), &in, nullptr), ICERR_OK);
    BITMAPINFOHEADER out{};
    EXPECT_EQ(ICDecompressGetFormatSize(codec.get(), &in), static_cast<LRESULT>(sizeof(BITMAPINFOHEADER)));
    ASSERT_EQ(ICDecompressGetFormat(codec.get(), &in, &out), ICERR_OK);
    EXPECT_EQ(out.biBitCount, 24);
    EXPECT_EQ(out.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(out.biHeight, 480) << "bottom-up";
    EXPECT_EQ(out.biSizeImage, 640u * 3 * 480);
    EXPECT_EQ(ICDecompressQuery(codec.get(), &in, &out), ICERR_OK);

    BITMAPINFOHEADER wrong = rgb24(640, -480);
    EXPECT_EQ(ICDecompressQuery(codec.get(), &in, &wrong), ICERR_BADFORMAT) << "top-down";
    wrong = rgb24(320, 240);
    EXPECT_EQ(ICDecompressQuery(codec.get(), &in, &wrong), ICERR_BADFORMAT) << "another size";
    wrong = rgb24(640, 480);
    wrong.biBitCount = 32;
    EXPECT_EQ(ICDecompressQuery(codec.get(), &in, &wrong), ICERR_BADFORMAT) << "RGB32";
    BITMAPINFOHEADER odd = input_format(kNv12, 639, 480, 639 * 480 * 3 / 2);
    EXPECT_EQ(ICDecompressQuery(codec.get(), &odd, nullptr), ICERR_BADFORMAT) << "NV12 needs even sizes";
    BITMAPINFOHEADER unknown = input_format(MAKEFOURCC('V', 'L', 'X', 'U'), 640, 480, 640 * 2 * 480);
    EXPECT_EQ(Located(unknown).get(), nullptr) << "no codec for a FourCC nobody knows";

    ICINFO info{};
    ASSERT_EQ(ICGetInfo(codec.get(), &info, sizeof info), static_cast<LRESULT>(sizeof info));
    EXPECT_EQ(std::wstring(info.szDescription), VLXCODEC_DESCRIPTION_YUY2);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, kYuy2, ICMODE_COMPRESS), nullptr) << "it only decompresses";
}

std::wstring drivers32_value(const wchar_t* name) {
    wchar_t data[MAX_PATH] = L"";
    DWORD bytes = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kDrivers32, name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return {};
    return data;
}

TEST(TestCodec, RegistrationBothWays) {
    const BITMAPINFOHEADER yuy2 = input_format(kYuy2, 640, 480, 640 * 2 * 480);
    // The suites after this one need the codec, also when a check below fails.
    struct RegisteredAgain {
        ~RegisteredAgain() { regsvr32(L"", kCodecDll); }
    } registered_again;
    ASSERT_EQ(regsvr32(L"/u", kCodecDll), 0u);
    for (const wchar_t* value : {L"vidc.YUY2", L"vidc.NV12", L"vidc.MJPG"}) EXPECT_EQ(drivers32_value(value), L"");
    EXPECT_EQ(Located(yuy2).get(), nullptr);

    // Another codec's value is left alone, and none of ours is written; a
    // value that is no path at all (a number) is as much another's.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    const wchar_t other[] = L"other-codec.dll";
    const DWORD number = 7;
    struct Foreign {
        DWORD type;
        const void* data;
        DWORD bytes;
    };
    for (const Foreign& foreign : {Foreign{REG_SZ, other, sizeof other}, Foreign{REG_DWORD, &number, sizeof number}}) {
        RegSetValueExW(key, L"vidc.NV12", 0, foreign.type, static_cast<const BYTE*>(foreign.data), foreign.bytes);
        EXPECT_NE(regsvr32(L"", kCodecDll), 0u);
        EXPECT_EQ(drivers32_value(L"vidc.YUY2"), L"");
        EXPECT_EQ(regsvr32(L"/u", kCodecDll), 0u);
        BYTE kept[sizeof other] = {};
        DWORD type = 0, bytes = sizeof kept;
        ASSERT_EQ(RegQueryValueExW(key, L"vidc.NV12", nullptr, &type, kept, &bytes), ERROR_SUCCESS);
        EXPECT_EQ(type, foreign.type);
        EXPECT_EQ(std::memcmp(kept, foreign.data, foreign.bytes), 0);
        RegDeleteValueW(key, L"vidc.NV12");
    }
    RegCloseKey(key);

    // The suite needs the codec: leave it registered.
    ASSERT_EQ(regsvr32(L"", kCodecDll), 0u);
    const std::wstring path = drivers32_value(L"vidc.MJPG");
    EXPECT_EQ(path.substr(path.find_last_of(L'\\') + 1), kCodecDll) << "the DLL by its full path";
    EXPECT_NE(Located(yuy2).get(), nullptr);
}

}  // namespace
}  // namespace vlx_test
