#include "codec_formats.h"

#include "common/dib_size.h"

#include <cstdlib>

namespace vlxcodec {

namespace {

// Larger frames than this are no camera's; refusing them keeps every size
// product inside 32 bits.
constexpr LONG kLargestSide = 16384;

LONG rows_of(const BITMAPINFOHEADER& bmi) { return std::labs(bmi.biHeight); }

std::optional<InputFormat> format_of_fourcc(DWORD fourcc) {
    switch (fourcc) {
    case kFourccYuy2:
        return InputFormat::yuy2;
    case kFourccNv12:
        return InputFormat::nv12;
    case kFourccMjpg:
        return InputFormat::mjpg;
    default:
        return std::nullopt;
    }
}

// msvfw32 matches driver handlers without regard to case.
DWORD upper_case_fourcc(DWORD fourcc) {
    DWORD upper = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        DWORD letter = (fourcc >> shift) & 0xff;
        if (letter >= 'a' && letter <= 'z') letter -= 'a' - 'A';
        upper |= letter << shift;
    }
    return upper;
}

}  // namespace

std::optional<InputFormat> format_of_handler(DWORD handler) { return format_of_fourcc(upper_case_fourcc(handler)); }

std::optional<InputFormat> decodable_input(const BITMAPINFOHEADER& in) {
    if (in.biWidth <= 0 || in.biWidth > kLargestSide || in.biHeight == 0 || rows_of(in) > kLargestSide) {
        return std::nullopt;
    }
    const std::optional<InputFormat> format = format_of_fourcc(in.biCompression);
    if (format == InputFormat::yuy2 && in.biWidth % 2 != 0) return std::nullopt;
    if (format == InputFormat::nv12 && (in.biWidth % 2 != 0 || rows_of(in) % 2 != 0)) return std::nullopt;
    return format;
}

DWORD minimum_input_size(InputFormat format, const BITMAPINFOHEADER& in) {
    const auto pixels = static_cast<DWORD>(in.biWidth) * static_cast<DWORD>(rows_of(in));
    switch (format) {
    case InputFormat::yuy2:
        return pixels * 2;
    case InputFormat::nv12:
        return pixels + pixels / 2;
    case InputFormat::mjpg:
        break;
    }
    return 1;
}

DWORD output_stride(LONG width) { return static_cast<DWORD>(vlx::dib_row_bytes(width, 24)); }

void output_format_for(const BITMAPINFOHEADER& in, BITMAPINFOHEADER& out) {
    out = BITMAPINFOHEADER{};
    out.biSize = sizeof(BITMAPINFOHEADER);
    out.biWidth = in.biWidth;
    out.biHeight = rows_of(in);
    out.biPlanes = 1;
    out.biBitCount = 24;
    out.biCompression = BI_RGB;
    out.biSizeImage = output_stride(in.biWidth) * static_cast<DWORD>(out.biHeight);
}

bool is_output_for(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) {
    return out.biBitCount == 24 && out.biCompression == BI_RGB && out.biWidth == in.biWidth &&
           out.biHeight == rows_of(in) &&
           (out.biSizeImage == 0 || out.biSizeImage >= output_stride(in.biWidth) * static_cast<DWORD>(out.biHeight));
}

}  // namespace vlxcodec
