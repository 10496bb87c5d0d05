#include "decompressor.h"

#include "vidlox_testcodec.h"
#include "yuv_to_rgb.h"

#include <cwchar>

namespace vlxcodec {

std::optional<InputFormat> Decompressor::accepted(const BITMAPINFOHEADER* in) const {
    const std::optional<InputFormat> format = in ? decodable_input(*in) : std::nullopt;
    if (!format || (only_ && *only_ != *format)) return std::nullopt;
    return format;
}

LRESULT Decompressor::get_info(ICINFO* info, DWORD size) const {
    if (!info || size < sizeof(ICINFO)) return 0;
    *info = ICINFO{};
    info->dwSize = sizeof(ICINFO);
    info->fccType = ICTYPE_VIDEO;
    info->fccHandler = handler_;
    info->dwVersionICM = ICVERSION;
    const wchar_t* description = L"vidlox Test Decompressor";
    if (only_ == InputFormat::yuy2) description = VLXCODEC_DESCRIPTION_YUY2;
    if (only_ == InputFormat::nv12) description = VLXCODEC_DESCRIPTION_NV12;
    if (only_ == InputFormat::mjpg) description = VLXCODEC_DESCRIPTION_MJPG;
    std::wcsncpy(info->szName, L"vidlox", sizeof info->szName / sizeof(WCHAR) - 1);
    std::wcsncpy(info->szDescription, description, sizeof info->szDescription / sizeof(WCHAR) - 1);
    return sizeof(ICINFO);
}

LRESULT Decompressor::query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) const {
    if (!accepted(in)) return ICERR_BADFORMAT;
    if (out && !is_output_for(*in, *out)) return ICERR_BADFORMAT;
    return ICERR_OK;
}

LRESULT Decompressor::get_format(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) const {
    if (!out) return sizeof(BITMAPINFOHEADER);
    if (!accepted(in)) return ICERR_BADFORMAT;
    output_format_for(*in, *out);
    return ICERR_OK;
}

LRESULT Decompressor::begin(const BITMAPINFOHEADER* in) {
    // Wine 8 hands the input format over as the output format here; the
    // real output format is judged on every frame instead.
    return accepted(in) ? ICERR_OK : ICERR_BADFORMAT;
}

LRESULT Decompressor::decompress(const ICDECOMPRESS* frame, DWORD size) {
    if (!frame || size < sizeof(ICDECOMPRESS) || !frame->lpbiInput || !frame->lpbiOutput) return ICERR_BADPARAM;
    const BITMAPINFOHEADER& in = *frame->lpbiInput;
    const std::optional<InputFormat> format = accepted(&in);
    if (!format || !is_output_for(in, *frame->lpbiOutput)) return ICERR_BADFORMAT;
    if (!frame->lpInput || !frame->lpOutput) return ICERR_BADPARAM;
    // A frame the downstream will drop anyway is not decoded.
    if (frame->dwFlags & ICDECOMPRESS_HURRYUP) return ICERR_OK;
    // biSizeImage carries the length of this frame's data.
    if (in.biSizeImage < minimum_input_size(*format, in)) return ICERR_BADSIZE;

    const auto* data = static_cast<const uint8_t*>(frame->lpInput);
    auto* bgr = static_cast<uint8_t*>(frame->lpOutput);
    const LONG width = in.biWidth;
    const LONG height = frame->lpbiOutput->biHeight;
    switch (*format) {
    case InputFormat::yuy2:
        yuy2_to_bottom_up_bgr(data, width, height, bgr);
        return ICERR_OK;
    case InputFormat::nv12:
        nv12_to_bottom_up_bgr(data, width, height, bgr);
        return ICERR_OK;
    case InputFormat::mjpg:
        return SUCCEEDED(jpeg_.decode(data, in.biSizeImage, width, height, bgr)) ? ICERR_OK : ICERR_ERROR;
    }
    return ICERR_BADFORMAT;
}

}  // namespace vlxcodec
