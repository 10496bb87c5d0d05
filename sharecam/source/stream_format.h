// The formats the shared camera's pin speaks: RGB24 as published, and the
// same picture in YUY2 and NV12 for programs that take no RGB.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace vlxshare::source {

enum class PixelFormat { rgb24, yuy2, nv12 };

struct StreamFormat {
    PixelFormat pixels = PixelFormat::rgb24;
    int32_t width = 0;
    int32_t height = 0;
    int64_t frame_interval = 0;
    uint32_t image_bytes() const;
};

// The three capabilities at `width` x `height` and `interval`, RGB24 first.
std::vector<StreamFormat> capabilities(int32_t width, int32_t height, int64_t interval);

// A FORMAT_VideoInfo media type of `format` (the caller frees it).
HRESULT media_type_of(const StreamFormat& format, AM_MEDIA_TYPE& type);
// The format a media type asks for, when it is one the pin takes.
std::optional<StreamFormat> acceptable(const AM_MEDIA_TYPE& type);
// The VIDEO_STREAM_CONFIG_CAPS of a capability.
void caps_of(const StreamFormat& format, VIDEO_STREAM_CONFIG_CAPS& caps);

}  // namespace vlxshare::source
