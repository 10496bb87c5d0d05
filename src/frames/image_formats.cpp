#include "frames/image_formats.h"

#include <wincodec.h>

#include <iterator>

namespace vlx {

namespace {

const ImageFormat kFormats[] = {
    {&GUID_ContainerFormatBmp, &GUID_WICPixelFormat24bppBGR, nullptr, nullptr},
    {&GUID_ContainerFormatJpeg, &GUID_WICPixelFormat24bppBGR, L"ImageQuality", nullptr},
    {&GUID_ContainerFormatPng, &GUID_WICPixelFormat24bppBGR, nullptr, nullptr},
    // GIF holds palette pictures only: the converter builds the palette.
    {&GUID_ContainerFormatGif, &GUID_WICPixelFormat8bppIndexed, nullptr, nullptr},
    {&GUID_ContainerFormatTiff, &GUID_WICPixelFormat24bppBGR, L"CompressionQuality", nullptr},
    {&GUID_ContainerFormatWmp, &GUID_WICPixelFormat24bppBGR, L"ImageQuality", L"Lossless"},
    {&GUID_ContainerFormatHeif, &GUID_WICPixelFormat24bppBGR, L"ImageQuality", nullptr},
};

}  // namespace

const ImageFormat* image_format(int32_t format) {
    if (format < 0 || format >= static_cast<int32_t>(std::size(kFormats))) return nullptr;
    return &kFormats[format];
}

const wchar_t* encoder_option(const ImageFormat& format, int32_t quality, VARIANT& value) {
    VariantInit(&value);
    // Compared unsigned: a negative quality counts as above 100.
    if (static_cast<uint32_t>(quality) <= 100u) {
        if (!format.quality_option) return nullptr;
        value.vt = VT_R4;
        value.fltVal = static_cast<float>(static_cast<float>(quality) / 100.0);
        return format.quality_option;
    }
    if (!format.outside_quality_option) return nullptr;
    value.vt = VT_BOOL;
    value.boolVal = 1;  // the value JPEG XR's "Lossless" is given, not VARIANT_TRUE
    return format.outside_quality_option;
}

}  // namespace vlx
