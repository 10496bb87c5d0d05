#include "formats.h"

#include <dvdmedia.h>
#include <objbase.h>

#include <cstring>

namespace vlxcam {

namespace {

constexpr REFERENCE_TIME k15fps = 666666;

// Appended capabilities keep every earlier index where hosts found it.
constexpr Capability kCapabilities[kCapabilityCount] = {
    {640, 480, k30fps, false},
    {1280, 720, k30fps, false},
    {320, 240, k15fps, false},
    {800, 600, k30fps, true},
    {1920, 1080, k30fps, false},
    {3840, 2160, k30fps, false},
    sixty_fps_mode(1280, 720, BI_RGB),
    sixty_fps_mode(1920, 1080, BI_RGB),
};

template <class Header>
HRESULT allocate_format(AM_MEDIA_TYPE& type, Header** header) {
    type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(Header)));
    if (!type.pbFormat) return E_OUTOFMEMORY;
    std::memset(type.pbFormat, 0, sizeof(Header));
    type.cbFormat = sizeof(Header);
    *header = reinterpret_cast<Header*>(type.pbFormat);
    return S_OK;
}

void fill_bitmap_header(BITMAPINFOHEADER& bmi, const VideoFormat& format) {
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = format.width;
    bmi.biHeight = format.height;
    bmi.biPlanes = 1;
    bmi.biBitCount = bit_count_of(format.fourcc);
    bmi.biCompression = format.fourcc;
    bmi.biSizeImage = format.image_size();
}

void fill_common(AM_MEDIA_TYPE& type, const VideoFormat& format) {
    type.majortype = MEDIATYPE_Video;
    type.subtype = subtype_of(format.fourcc);
    type.bFixedSizeSamples = is_compressed(format.fourcc) ? FALSE : TRUE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = format.image_size();
}

DWORD bit_rate(const VideoFormat& format) {
    return static_cast<DWORD>(static_cast<double>(format.image_size()) * 8.0 * 1e7 /
                              static_cast<double>(format.frame_interval));
}

}  // namespace

Capabilities rgb24_capabilities() { return kCapabilities; }

VideoFormat capability_format(Capabilities capabilities, int index) {
    const Capability& c = capabilities[static_cast<size_t>(index)];
    return {c.width, c.height, c.default_interval(), c.fourcc};
}

HRESULT video_info_media_type(const VideoFormat& format, AM_MEDIA_TYPE& type) {
    type = AM_MEDIA_TYPE{};
    fill_common(type, format);
    type.formattype = FORMAT_VideoInfo;
    VIDEOINFOHEADER* vih = nullptr;
    if (FAILED(allocate_format(type, &vih))) return E_OUTOFMEMORY;
    vih->AvgTimePerFrame = format.frame_interval;
    vih->dwBitRate = bit_rate(format);
    fill_bitmap_header(vih->bmiHeader, format);
    return S_OK;
}

HRESULT capability_media_type(Capabilities capabilities, int index, AM_MEDIA_TYPE& type) {
    const VideoFormat format = capability_format(capabilities, index);
    if (!capabilities[static_cast<size_t>(index)].video_info2) return video_info_media_type(format, type);

    type = AM_MEDIA_TYPE{};
    fill_common(type, format);
    type.formattype = FORMAT_VideoInfo2;
    VIDEOINFOHEADER2* vih2 = nullptr;
    if (FAILED(allocate_format(type, &vih2))) return E_OUTOFMEMORY;
    vih2->AvgTimePerFrame = format.frame_interval;
    vih2->dwBitRate = bit_rate(format);
    vih2->dwInterlaceFlags = 0;
    vih2->dwPictAspectRatioX = 4;
    vih2->dwPictAspectRatioY = 3;
    fill_bitmap_header(vih2->bmiHeader, format);
    return S_OK;
}

void capability_caps(Capabilities capabilities, int index, VIDEO_STREAM_CONFIG_CAPS& caps) {
    const Capability& c = capabilities[static_cast<size_t>(index)];
    caps = VIDEO_STREAM_CONFIG_CAPS{};
    caps.guid = c.video_info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
    caps.VideoStandard = AnalogVideo_None;
    caps.InputSize = {c.width, c.height};
    caps.MinCroppingSize = caps.MaxCroppingSize = caps.InputSize;
    caps.CropGranularityX = caps.CropGranularityY = 1;
    caps.CropAlignX = caps.CropAlignY = 1;
    caps.MinOutputSize = caps.MaxOutputSize = caps.InputSize;
    caps.OutputGranularityX = caps.OutputGranularityY = 0;
    caps.MinFrameInterval = c.fastest;
    caps.MaxFrameInterval = c.slowest;
    const VideoFormat fastest{c.width, c.height, c.fastest, c.fourcc};
    const VideoFormat slowest{c.width, c.height, c.slowest, c.fourcc};
    caps.MinBitsPerSecond = static_cast<LONG>(bit_rate(slowest));
    caps.MaxBitsPerSecond = static_cast<LONG>(bit_rate(fastest));
}

std::optional<VideoFormat> acceptable_format(Capabilities capabilities, const AM_MEDIA_TYPE& type) {
    const DWORD fourcc = pixel_format_of(type.subtype);
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || !is_camera_pixel_format(fourcc) ||
        !IsEqualGUID(type.formattype, FORMAT_VideoInfo) || !type.pbFormat ||
        type.cbFormat < sizeof(VIDEOINFOHEADER)) {
        return std::nullopt;
    }
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    const BITMAPINFOHEADER& bmi = vih->bmiHeader;
    if (bmi.biBitCount != bit_count_of(fourcc) || bmi.biCompression != fourcc) return std::nullopt;
    for (const Capability& c : capabilities) {
        if (c.fourcc == fourcc && bmi.biWidth == c.width && bmi.biHeight == c.height &&
            vih->AvgTimePerFrame >= c.fastest && vih->AvgTimePerFrame <= c.slowest) {
            return VideoFormat{c.width, c.height, vih->AvgTimePerFrame, fourcc};
        }
    }
    return std::nullopt;
}

StatedSizes stated_sizes(const AM_MEDIA_TYPE& type) {
    return {reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader.biSizeImage, type.lSampleSize};
}

void state_sizes(AM_MEDIA_TYPE& type, const StatedSizes& sizes) {
    reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader.biSizeImage = sizes.image_size;
    type.lSampleSize = sizes.sample_size;
}

}  // namespace vlxcam
