// The container formats vlx_SaveImage writes through WIC, by number, and the
// one encoder option each format takes.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>

namespace vlx {

struct ImageFormat {
    const GUID* container;     // GUID_ContainerFormat...
    const GUID* pixel_format;  // what the frame encoder is asked for
    // Written as VT_R4 quality / 100 when 0 <= quality <= 100 (null: none).
    const wchar_t* quality_option;
    // Written as VT_BOOL 1 for any other quality (null: none).
    const wchar_t* outside_quality_option;
};

// Formats 0-6; null for any other number.
const ImageFormat* image_format(int32_t format);

// The name of the option written for `quality`, with its value in `value`
// (which holds no resources either way); null when none is written.
const wchar_t* encoder_option(const ImageFormat& format, int32_t quality, VARIANT& value);

}  // namespace vlx
