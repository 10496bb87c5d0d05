// The camera's capabilities and the media types that describe them.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <optional>

namespace vlxcam {

struct VideoFormat {
    LONG width;
    LONG height;                  // positive: bottom-up rows
    REFERENCE_TIME frame_interval;  // AvgTimePerFrame, 100 ns units

    LONG stride() const { return ((width * 24 + 31) / 32) * 4; }
    DWORD image_size() const { return static_cast<DWORD>(stride()) * static_cast<DWORD>(height); }
};

inline constexpr int kCapabilityCount = 5;
inline constexpr int kVideoInfo2Capability = 3;

// Fills `type` (which must hold nothing) with capability `index`, as
// GetStreamCaps and the media type enumeration offer it.
HRESULT capability_media_type(int index, AM_MEDIA_TYPE& type);
void capability_caps(int index, VIDEO_STREAM_CONFIG_CAPS& caps);
VideoFormat capability_format(int index);

// An RGB24 FORMAT_VideoInfo type for `format`, with sizes computed.
HRESULT video_info_media_type(const VideoFormat& format, AM_MEDIA_TYPE& type);

// The format `type` asks for, if the camera can deliver it: RGB24,
// FORMAT_VideoInfo, bottom-up, one of the capabilities' sizes and a frame
// interval inside that size's range.
std::optional<VideoFormat> acceptable_format(const AM_MEDIA_TYPE& type);

// The frame size a media type states, in biSizeImage and lSampleSize.
struct StatedSizes {
    DWORD image_size;
    ULONG sample_size;
};
// Of an RGB24 FORMAT_VideoInfo type that acceptable_format() took.
StatedSizes stated_sizes(const AM_MEDIA_TYPE& type);
void state_sizes(AM_MEDIA_TYPE& type, const StatedSizes& sizes);

// Whether `type` leaves anything open (GUID_NULL or no format block).
bool is_partial(const AM_MEDIA_TYPE& type);
// Whether a fully specified `candidate` matches the fields `pattern` sets.
bool matches_partial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& pattern);

}  // namespace vlxcam
