#include "sharecam/share_publisher.h"

#include "common/media_type.h"
#include "sharecam/transport/layout.h"

#include <new>

namespace vlx::sharecam {

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
    // size) says so; a frame of another length than ours is not published.
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
    vlxshare::transport::FrameFacts facts;
    facts.width = width_;
    facts.height = height_;
    facts.frame_interval = frame_interval_;
    facts.stride = vlxshare::transport::rgb24_stride(facts.width);
    facts.bytes = facts.stride * static_cast<uint32_t>(facts.height > 0 ? facts.height : 0);
    if (sample->GetActualDataLength() != static_cast<long>(facts.bytes)) return;
    REFERENCE_TIME start = 0, end = 0;
    facts.sample_time = SUCCEEDED(sample->GetTime(&start, &end)) ? start : -1;
    facts.arrival = arrival;
    writer_.write(facts, bits);
}

}  // namespace vlx::sharecam
