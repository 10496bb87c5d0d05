// The camera's capabilities and the media types that describe them.
#pragma once

#include "common/dib_size.h"
#include "pixel_formats.h"

#include "common/media_type.h"

#include <windows.h>
#include <dshow.h>

#include <optional>
#include <span>

namespace vlxcam {

struct VideoFormat {
    LONG width;
    LONG height;                  // positive: bottom-up rows
    REFERENCE_TIME frame_interval;  // AvgTimePerFrame, 100 ns units
    DWORD fourcc = BI_RGB;        // the pixel format (pixel_formats.h)

    // Bytes of one RGB24 row.
    LONG stride() const { return static_cast<LONG>(vlx::dib_row_bytes(width, 24)); }
    DWORD image_size() const { return frame_bytes(fourcc, width, height); }
};

inline constexpr REFERENCE_TIME k1fps = 10000000;
inline constexpr REFERENCE_TIME k30fps = k1fps / 30;
inline constexpr REFERENCE_TIME k60fps = k1fps / 60;  // 166666, as UVC descriptors round it

struct Capability {
    LONG width;
    LONG height;
    REFERENCE_TIME fastest;  // minimum frame interval, and the default unless one is given
    bool video_info2;
    DWORD fourcc = BI_RGB;
    REFERENCE_TIME slowest = k1fps;  // maximum frame interval
    // The interval the capability's media type states (0: the fastest), as
    // a UVC frame descriptor's default interval may be slower than its
    // fastest.
    REFERENCE_TIME preferred = 0;

    REFERENCE_TIME default_interval() const { return preferred ? preferred : fastest; }
};
// The 60 fps modes: 30 to 60 fps, 30 by default, so that a size written
// into their media type keeps a rate every size has (hosts that ask for a
// size alone write it into every capability).
inline constexpr Capability sixty_fps_mode(LONG width, LONG height, DWORD fourcc) {
    return {width, height, k60fps, false, fourcc, k30fps, k30fps};
}
// A device's capabilities, in the order GetStreamCaps lists them.
using Capabilities = std::span<const Capability>;

// The main camera's: RGB24 at six sizes, two of them up to 60 fps too.
Capabilities rgb24_capabilities();
inline constexpr int kCapabilityCount = 8;

// Fills `type` (which must hold nothing) with capability `index`, as
// GetStreamCaps and the media type enumeration offer it.
HRESULT capability_media_type(Capabilities capabilities, int index, AM_MEDIA_TYPE& type);
void capability_caps(Capabilities capabilities, int index, VIDEO_STREAM_CONFIG_CAPS& caps);
VideoFormat capability_format(Capabilities capabilities, int index);

// A FORMAT_VideoInfo type for `format` in its pixel format, with sizes
// computed.
HRESULT video_info_media_type(const VideoFormat& format, AM_MEDIA_TYPE& type);

// The format `type` asks for, if the camera can deliver it: one of the
// capabilities' pixel formats and sizes, FORMAT_VideoInfo, bottom-up, and a
// frame interval inside that capability's range, as a UVC camera accepts
// any listed size and rate.
std::optional<VideoFormat> acceptable_format(Capabilities capabilities, const AM_MEDIA_TYPE& type);

// The frame size a media type states, in biSizeImage and lSampleSize.
struct StatedSizes {
    DWORD image_size;
    ULONG sample_size;
};
// Of an RGB24 FORMAT_VideoInfo type that acceptable_format() took.
StatedSizes stated_sizes(const AM_MEDIA_TYPE& type);
void state_sizes(AM_MEDIA_TYPE& type, const StatedSizes& sizes);

// Whether `type` leaves anything open, and whether a fully specified
// `candidate` matches the fields `pattern` sets.
using vlx::is_partial;
using vlx::matches_partial;

}  // namespace vlxcam
