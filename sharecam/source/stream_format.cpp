#include "stream_format.h"

#include "common/media_type.h"
#include "sharecam/transport/layout.h"
#include "vidlox_sharecam.h"

#include <algorithm>
#include <cstring>

namespace vlxshare::source {

namespace {

constexpr int32_t kLargest = 4096;

const GUID& subtype_of(PixelFormat pixels) {
    switch (pixels) {
    case PixelFormat::yuy2: return MEDIASUBTYPE_YUY2;
    case PixelFormat::nv12: return MEDIASUBTYPE_NV12;
    default: return MEDIASUBTYPE_RGB24;
    }
}

DWORD fourcc_of(PixelFormat pixels) {
    switch (pixels) {
    case PixelFormat::yuy2: return MAKEFOURCC('Y', 'U', 'Y', '2');
    case PixelFormat::nv12: return MAKEFOURCC('N', 'V', '1', '2');
    default: return BI_RGB;
    }
}

WORD bit_count_of(PixelFormat pixels) {
    switch (pixels) {
    case PixelFormat::yuy2: return 16;
    case PixelFormat::nv12: return 12;
    default: return 24;
    }
}

}  // namespace

uint32_t StreamFormat::image_bytes() const {
    const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    switch (pixels) {
    case PixelFormat::yuy2: return w * 2 * h;
    case PixelFormat::nv12: return w * h * 3 / 2;
    default: return transport::rgb24_stride(width) * h;
    }
}

std::vector<StreamFormat> capabilities(int32_t width, int32_t height, int64_t interval) {
    return {StreamFormat{PixelFormat::rgb24, width, height, interval},
            StreamFormat{PixelFormat::yuy2, width, height, interval},
            StreamFormat{PixelFormat::nv12, width, height, interval}};
}

HRESULT media_type_of(const StreamFormat& format, AM_MEDIA_TYPE& type) {
    type = AM_MEDIA_TYPE{};
    auto* info = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    if (!info) return E_OUTOFMEMORY;
    std::memset(info, 0, sizeof *info);
    info->AvgTimePerFrame = format.frame_interval;
    info->dwBitRate = static_cast<DWORD>(
        static_cast<uint64_t>(format.image_bytes()) * 8 * 10000000 / static_cast<uint64_t>(format.frame_interval));
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = format.width;
    info->bmiHeader.biHeight = format.height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = bit_count_of(format.pixels);
    info->bmiHeader.biCompression = fourcc_of(format.pixels);
    info->bmiHeader.biSizeImage = format.image_bytes();
    type.majortype = MEDIATYPE_Video;
    type.subtype = subtype_of(format.pixels);
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = format.image_bytes();
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof(VIDEOINFOHEADER);
    type.pbFormat = reinterpret_cast<BYTE*>(info);
    return S_OK;
}

std::optional<StreamFormat> acceptable(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || !IsEqualGUID(type.formattype, FORMAT_VideoInfo) ||
        !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER))
        return std::nullopt;
    StreamFormat format;
    if (IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24)) {
        format.pixels = PixelFormat::rgb24;
    } else if (IsEqualGUID(type.subtype, MEDIASUBTYPE_YUY2)) {
        format.pixels = PixelFormat::yuy2;
    } else if (IsEqualGUID(type.subtype, MEDIASUBTYPE_NV12)) {
        format.pixels = PixelFormat::nv12;
    } else {
        return std::nullopt;
    }
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    format.width = info->bmiHeader.biWidth;
    format.height = info->bmiHeader.biHeight;
    format.frame_interval = info->AvgTimePerFrame;
    if (format.width < 2 || format.width > kLargest || format.height < 2 || format.height > kLargest ||
        format.width % 2 || format.height % 2 || format.frame_interval < VLXSHARE_FASTEST_FRAME_INTERVAL ||
        format.frame_interval > VLXSHARE_SLOWEST_FRAME_INTERVAL)
        return std::nullopt;
    if (info->bmiHeader.biBitCount != bit_count_of(format.pixels)) return std::nullopt;
    return format;
}

void caps_of(const StreamFormat& format, VIDEO_STREAM_CONFIG_CAPS& caps) {
    caps = VIDEO_STREAM_CONFIG_CAPS{};
    caps.guid = FORMAT_VideoInfo;
    const SIZE size{format.width, format.height};
    caps.InputSize = size;
    caps.MinCroppingSize = size;
    caps.MaxCroppingSize = size;
    caps.MinOutputSize = SIZE{2, 2};
    caps.MaxOutputSize = SIZE{kLargest, kLargest};
    caps.OutputGranularityX = 2;
    caps.OutputGranularityY = 2;
    caps.MinFrameInterval = format.frame_interval;
    caps.MaxFrameInterval = VLXSHARE_SLOWEST_FRAME_INTERVAL;
    const LONGLONG bits = static_cast<LONGLONG>(format.image_bytes()) * 8;
    constexpr LONGLONG kMost = 0x7fffffff;
    caps.MinBitsPerSecond = static_cast<LONG>(std::min(bits, kMost));
    caps.MaxBitsPerSecond = static_cast<LONG>(std::min(bits * 10000000 / format.frame_interval, kMost));
}

}  // namespace vlxshare::source
