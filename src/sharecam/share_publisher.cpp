#include "sharecam/share_publisher.h"

#include "common/media_type.h"
#include "sharecam/transport/header_check.h"
#include "sharecam/transport/layout.h"

#include <new>

namespace vlx::sharecam {

namespace {

vlxshare::transport::FrameFacts facts_of(const PublishedFormat& format) {
    vlxshare::transport::FrameFacts facts;
    facts.width = format.width;
    facts.height = format.height;
    facts.frame_interval = format.frame_interval;
    facts.stride = format.width > 0 ? vlxshare::transport::rgb24_stride(format.width) : 0;
    const uint64_t bytes =
        static_cast<uint64_t>(facts.stride) * static_cast<uint64_t>(format.height > 0 ? format.height : 0);
    facts.bytes = bytes <= UINT32_MAX ? static_cast<uint32_t>(bytes) : 0;
    return facts;
}

}  // namespace

bool carried(const PublishedFormat& format) {
    const vlxshare::transport::FrameFacts facts = facts_of(format);
    return vlxshare::transport::frame_shape_valid(vlxshare::transport::kFormatRgb24, facts.width, facts.height,
                                                  facts.stride, facts.bytes);
}

SharePublisher* SharePublisher::create() noexcept { return new (std::nothrow) SharePublisher; }

vlxshare::transport::ClaimResult SharePublisher::start(int32_t channel, const PublishedFormat& format) {
    writer_.close();
    set_format(format);
    const vlxshare::transport::ClaimResult claimed = writer_.open(channel);
    channel_ = claimed == vlxshare::transport::ClaimResult::claimed ? channel : 0;
    publishing_ = channel_ != 0;
    return claimed;
}

void SharePublisher::set_format(const PublishedFormat& format) {
    width_ = format.width;
    height_ = format.height;
    frame_interval_ = format.frame_interval;
    writer_.announce_shape(format.width, format.height);
}

void SharePublisher::stop() {
    publishing_ = false;
    writer_.close();
    channel_ = 0;
}

STDMETHODIMP SharePublisher::SampleCB(double, IMediaSample* sample) {
    if (!sample || !publishing_) return S_OK;
    try {
        publish(sample);
    } catch (...) {
        // Nothing may leave a COM method (the writer names the readers'
        // events in strings of its own): the frame is not published.
    }
    return S_OK;
}

void SharePublisher::publish(IMediaSample* sample) {
    const int64_t arrival = clock_.now();  // the frame events' arrival clock
    // A sample that brings a new type (the grabber reconnected in another
    // size, or turned top-down) says so.
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) {
        if (IsEqualGUID(changed->formattype, FORMAT_VideoInfo) && changed->pbFormat &&
            changed->cbFormat >= sizeof(VIDEOINFOHEADER)) {
            const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(changed->pbFormat);
            width_ = info->bmiHeader.biWidth;
            height_ = info->bmiHeader.biHeight;
            if (info->AvgTimePerFrame > 0) frame_interval_ = info->AvgTimePerFrame;
        }
        delete_media_type(changed);
    }
    BYTE* bits = nullptr;
    if (FAILED(sample->GetPointer(&bits)) || !bits) return;
    const PublishedFormat format{width_, height_, frame_interval_};
    vlxshare::transport::FrameFacts facts = facts_of(format);
    // A frame of a shape the ring does not carry goes to the writer, which
    // refuses it and says so in the channel's header; one of another length
    // than its type states is not published.
    if (carried(format) && sample->GetActualDataLength() != static_cast<long>(facts.bytes)) return;
    REFERENCE_TIME start = 0, end = 0;
    facts.sample_time = SUCCEEDED(sample->GetTime(&start, &end)) ? start : -1;
    facts.arrival = arrival;
    writer_.write(facts, bits);
}

}  // namespace vlx::sharecam
