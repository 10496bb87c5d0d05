#include "decompressor.h"

#include "codec_formats.h"
#include "vidlox_testcodec.h"
#include "yuv_to_rgb.h"

#include <cwchar>

namespace vlxcodec {

LRESULT Decompressor::get_info(ICINFO* info, DWORD size) const {
    if (!info || size < sizeof(ICINFO)) return 0;
    *info = ICINFO{};
    info->dwSize = sizeof(ICINFO);
    info->fccType = ICTYPE_VIDEO;
    info->fccHandler = handler_;
    info->dwVersionICM = ICVERSION;
    const wchar_t* description = handler_ == kFourccNv12   ? VLXCODEC_DESCRIPTION_NV12
                                 : handler_ == kFourccMjpg ? VLXCODEC_DESCRIPTION_MJPG
                                                           : VLXCODEC_DESCRIPTION_YUY2;
    std::wcsncpy(info->szName, L"vidlox", sizeof info->szName / sizeof(WCHAR) - 1);
    std::wcsncpy(info->szDescription, description, sizeof info->szDescription / sizeof(WCHAR) - 1);
    return sizeof(ICINFO);
}

LRESULT Decompressor::query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) const {
    if (!in || !decodable_input(*in)) return ICERR_BADFORMAT;
    if (out && !is_output_for(*in, *out)) return ICERR_BADFORMAT;
    return ICERR_OK;
}

LRESULT Decompressor::get_format(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) const {
    if (!out) return sizeof(BITMAPINFOHEADER);
    if (!in || !decodable_input(*in)) return ICERR_BADFORMAT;
    output_format_for(*in, *out);
    return ICERR_OK;
}

LRESULT Decompressor::begin(const BITMAPINFOHEADER* in) {
    // Wine 8 hands the input format over as the output format here; the
    // real output format is judged on every frame instead.
    return in && decodable_input(*in) ? ICERR_OK : ICERR_BADFORMAT;
}

LRESULT Decompressor::decompress(const ICDECOMPRESS* frame, DWORD size) {
    if (!frame || size < sizeof(ICDECOMPRESS) || !frame->lpbiInput || !frame->lpbiOutput) return ICERR_BADPARAM;
    const BITMAPINFOHEADER& in = *frame->lpbiInput;
    const auto format = decodable_input(in);
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
