#include "pixel_formats.h"

#include "common/dib_size.h"

#include <dshow.h>
#include <uuids.h>

#include <cstdlib>

namespace vlxcam {

namespace {

constexpr DWORD kNoPixelFormat = 0xffffffff;

// FourCC subtypes are {XXXXXXXX-0000-0010-8000-00AA00389B71}.
GUID fourcc_subtype(DWORD fourcc) {
    GUID subtype = MEDIASUBTYPE_YUY2;
    subtype.Data1 = fourcc;
    return subtype;
}

}  // namespace

bool is_camera_pixel_format(DWORD fourcc) {
    return fourcc == BI_RGB || fourcc == kFourccYuy2 || fourcc == kFourccNv12 || fourcc == kFourccMjpg ||
           fourcc == kFourccUndecodable;
}

GUID subtype_of(DWORD fourcc) { return fourcc == BI_RGB ? MEDIASUBTYPE_RGB24 : fourcc_subtype(fourcc); }

DWORD pixel_format_of(const GUID& subtype) {
    if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB24)) return BI_RGB;
    if (subtype.Data1 != BI_RGB && is_camera_pixel_format(subtype.Data1) &&
        IsEqualGUID(subtype, fourcc_subtype(subtype.Data1))) {
        return subtype.Data1;
    }
    return kNoPixelFormat;
}

WORD bit_count_of(DWORD fourcc) {
    switch (fourcc) {
    case kFourccYuy2:
    case kFourccUndecodable:
        return 16;
    case kFourccNv12:
        return 12;
    default:
        return 24;  // RGB24, and MJPG as cameras describe it
    }
}

bool is_compressed(DWORD fourcc) { return fourcc == kFourccMjpg; }

DWORD frame_bytes(DWORD fourcc, LONG width, LONG height) {
    const auto w = static_cast<DWORD>(width);
    const auto h = static_cast<DWORD>(std::labs(height));
    switch (fourcc) {
    case kFourccYuy2:
    case kFourccUndecodable:
        return w * 2 * h;
    case kFourccNv12:
        return w * h + w * h / 2;
    case kFourccMjpg:
        return w * 2 * h;  // what UVC cameras commonly announce as their largest frame
    default:
        return static_cast<DWORD>(vlx::dib_row_bytes(w, 24)) * h;
    }
}

}  // namespace vlxcam
