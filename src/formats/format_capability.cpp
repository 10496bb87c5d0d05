#include "formats/format_capability.h"

#include "formats/subtype_text.h"

#include <dvdmedia.h>

#include <cstdint>
#include <cstdio>

namespace vlx {

namespace {

template <class Header>
const Header* whole_block(const AM_MEDIA_TYPE& type) {
    if (!type.pbFormat || type.cbFormat < sizeof(Header)) return nullptr;
    return reinterpret_cast<const Header*>(type.pbFormat);
}

// A height's magnitude; INT32_MIN's does not fit 32 bits and is held at
// INT32_MAX rather than turning negative.
int32_t magnitude_of(int64_t height) {
    const int64_t magnitude = height < 0 ? -height : height;
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

VideoFields fields_of(FormatBlock block, const BITMAPINFOHEADER& bmi, REFERENCE_TIME interval) {
    return {block, static_cast<int32_t>(bmi.biWidth), magnitude_of(bmi.biHeight), interval};
}

}  // namespace

const char* format_block_name(FormatBlock block) {
    switch (block) {
    case FormatBlock::video_info:
        return "VIDEOINFOHEADER";
    case FormatBlock::video_info2:
        return "VIDEOINFOHEADER2";
    case FormatBlock::mpeg2_video:
        return "MPEG2VIDEOINFO";
    case FormatBlock::other:
        break;
    }
    return "OTHER";
}

std::optional<VideoFields> video_fields(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video)) return std::nullopt;
    if (IsEqualGUID(type.formattype, FORMAT_VideoInfo)) {
        if (const auto* vih = whole_block<VIDEOINFOHEADER>(type))
            return fields_of(FormatBlock::video_info, vih->bmiHeader, vih->AvgTimePerFrame);
    } else if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2)) {
        if (const auto* vih2 = whole_block<VIDEOINFOHEADER2>(type))
            return fields_of(FormatBlock::video_info2, vih2->bmiHeader, vih2->AvgTimePerFrame);
    } else if (IsEqualGUID(type.formattype, FORMAT_MPEG2Video)) {
        // An MPEG2VIDEOINFO begins with a whole VIDEOINFOHEADER2.
        if (const auto* vih2 = whole_block<VIDEOINFOHEADER2>(type))
            return fields_of(FormatBlock::mpeg2_video, vih2->bmiHeader, vih2->AvgTimePerFrame);
    }
    return std::nullopt;
}

FormatCapability describe_capability(int index, const AM_MEDIA_TYPE& type, const VIDEO_STREAM_CONFIG_CAPS& caps) {
    FormatCapability capability;
    capability.index = index;
    capability.subtype = type.subtype;
    REFERENCE_TIME own_interval = 0;
    if (const auto fields = video_fields(type)) {
        capability.block = fields->block;
        capability.width = fields->width;
        capability.height = fields->height;
        own_interval = fields->interval;
    } else {
        capability.width = static_cast<int32_t>(caps.InputSize.cx);
        capability.height = magnitude_of(caps.InputSize.cy);
    }
    if (caps.MinFrameInterval > 0 && caps.MinFrameInterval <= caps.MaxFrameInterval) {
        capability.fastest = caps.MinFrameInterval;
        capability.slowest = caps.MaxFrameInterval;
    } else if (own_interval > 0) {
        capability.fastest = capability.slowest = own_interval;
    }
    capability.grabber_can_take =
        capability.block == FormatBlock::video_info && capability.width > 0 && capability.height > 0;
    return capability;
}

double frame_rate_of(REFERENCE_TIME interval) {
    return interval > 0 ? 10000000.0 / static_cast<double>(interval) : 0.0;
}

std::string frame_rate_text(double rate) {
    char text[64];
    std::snprintf(text, sizeof text, "%1.2f", rate);
    return text;
}

std::string format_line(const FormatCapability& capability) {
    return std::to_string(capability.index) + " " + subtype_text(capability.subtype) + " " +
           std::to_string(capability.width) + " " + std::to_string(capability.height) + " " +
           frame_rate_text(frame_rate_of(capability.slowest)) + " " +
           frame_rate_text(frame_rate_of(capability.fastest)) + " " + format_block_name(capability.block);
}

}  // namespace vlx
