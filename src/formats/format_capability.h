// One capability of a capture pin as the format list shows it and the
// format choice weighs it: plain values, read once from the media type and
// the VIDEO_STREAM_CONFIG_CAPS block that GetStreamCaps gave.
#pragma once

#include "common/directshow.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vlx {

enum class FormatBlock { video_info, video_info2, mpeg2_video, other };

// "VIDEOINFOHEADER", "VIDEOINFOHEADER2", "MPEG2VIDEOINFO" or "OTHER".
const char* format_block_name(FormatBlock block);

// What a video format block states about the picture.
struct VideoFields {
    FormatBlock block;
    int32_t width;             // biWidth
    int32_t height;            // the magnitude of biHeight
    REFERENCE_TIME interval;   // AvgTimePerFrame
};

// The fields of a MEDIATYPE_Video type whose format block holds a whole
// VIDEOINFOHEADER, VIDEOINFOHEADER2 or MPEG2VIDEOINFO header; nothing for
// any other type.
std::optional<VideoFields> video_fields(const AM_MEDIA_TYPE& type);

struct FormatCapability {
    int index = 0;  // for GetStreamCaps
    GUID subtype{};
    FormatBlock block = FormatBlock::other;
    int32_t width = 0;
    int32_t height = 0;
    // The frame-interval range, shortest first. Both 0: no rate stated,
    // which any requested rate is taken to fit.
    REFERENCE_TIME fastest = 0;
    REFERENCE_TIME slowest = 0;
    // Whether the Sample Grabber's side of the graph can take this format:
    // FORMAT_VideoInfo with a whole VIDEOINFOHEADER and a real picture size.
    bool grabber_can_take = false;

    bool states_rate() const { return fastest > 0; }
};

FormatCapability describe_capability(int index, const AM_MEDIA_TYPE& type, const VIDEO_STREAM_CONFIG_CAPS& caps);

// 10^7 / interval; 0.0 for an interval of 0 or less.
double frame_rate_of(REFERENCE_TIME interval);

// A frame rate as the format list writes it: "30.00".
std::string frame_rate_text(double rate);

// The capability's line of the format list, without its CR LF:
// "INDEX SUBTYPE WIDTH HEIGHT MIN_FPS MAX_FPS KIND".
std::string format_line(const FormatCapability& capability);

}  // namespace vlx
