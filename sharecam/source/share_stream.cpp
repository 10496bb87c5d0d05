#include "share_stream.h"

#include "picture.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace vlxshare::source {

namespace {

// How long without a frame before "no signal" shows: a publisher that is
// merely late by a frame or two keeps its picture.
constexpr auto kSilence = std::chrono::milliseconds(500);

vlxcom::LiveStreamer::Clock::duration to_duration(int64_t hundred_nanoseconds) {
    return std::chrono::duration_cast<vlxcom::LiveStreamer::Clock::duration>(
        std::chrono::nanoseconds(hundred_nanoseconds * 100));
}

}  // namespace

HRESULT ShareStream::prepare(const AM_MEDIA_TYPE& connection) {
    const std::optional<StreamFormat> format = acceptable(connection);
    if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
    format_ = *format;
    publisher_size_fits_ = true;
    reader_.open(channel_);
    skipped_counted_ = 0;
    counts_.restart();
    // A publisher that is there sends its first frame within the silence;
    // without one "no signal" begins after it.
    last_frame_ = Clock::now();
    return S_OK;
}

void ShareStream::count_skipped(int64_t frame_number) {
    const int64_t skipped = reader_.skipped() - skipped_counted_;
    if (skipped <= 0) return;
    skipped_counted_ = reader_.skipped();
    counts_.dropped(static_cast<uint32_t>(frame_number - skipped), static_cast<uint32_t>(skipped));
}

// A frame goes out no sooner than the connection's rate asks: a publisher
// faster than that has the frames in between left out (by request, so not
// counted as dropped). Half the publisher's interval is the slack that
// keeps equal rates from losing frames to jitter.
bool ShareStream::on_schedule(Clock::time_point now, Clock::duration interval, Clock::time_point& next_due) const {
    const auto slack = frame_.frame_interval > 0 ? to_duration(frame_.frame_interval) / 2 : interval / 4;
    if (now + slack < next_due) return false;
    next_due = std::max(next_due + interval, now + interval - slack);
    return true;
}

void ShareStream::stream(vlxcom::LiveStreamer& streamer) {
    const auto interval = to_duration(format_.frame_interval);
    auto next_blank = Clock::now();
    auto next_due = Clock::now();
    bool discontinuity = true;
    for (;;) {
        // One sample a round, used for whatever the round delivers (a
        // downstream allocator of one buffer is never asked for a second
        // while we hold it). An RGB24 connection of the publisher's size
        // takes it before the read: the frame goes straight from the ring
        // into it, one copy fewer on the way.
        ComPtr<IMediaSample> sample;
        transport::DirectTarget target;
        if (format_.pixels == PixelFormat::rgb24 && publisher_size_fits_) {
            sample = streamer.buffer();
            BYTE* bits = nullptr;
            if (sample && SUCCEEDED(sample->GetPointer(&bits)) && bits)
                target = transport::DirectTarget{bits, static_cast<size_t>(sample->GetSize()), format_.width,
                                                 format_.height};
        }
        transport::ReadResult result = transport::ReadResult::no_signal;
        try {
            result = reader_.read(frame_, target.bytes ? &target : nullptr);
        } catch (const std::bad_alloc&) {
        }
        const auto now = Clock::now();
        if (result == transport::ReadResult::frame) {
            count_skipped(frame_.frame_number);
            publisher_size_fits_ = frame_.width == format_.width && frame_.height == format_.height;
            if (on_schedule(now, interval, next_due)) {
                deliver(streamer, &frame_, discontinuity, std::move(sample));
                discontinuity = false;
            }
            last_frame_ = now;
            next_blank = now + interval;
            if (!streamer.wait_until(now)) return;
            continue;  // there may be more
        }
        if (now - last_frame_ >= kSilence && now >= next_blank) {
            deliver(streamer, nullptr, discontinuity, std::move(sample));
            discontinuity = false;
            next_blank += interval;
            if (next_blank < now) next_blank = now + interval;
        }
        sample.reset();
        // Until the next frame, or the next "no signal" picture; readers
        // that could not register have no frame event and look every 15 ms.
        auto until = std::max(next_blank, last_frame_ + kSilence);
        const HANDLE frame_event = reader_.frame_event();
        until = std::min(until, Clock::now() + std::chrono::milliseconds(frame_event ? 100 : 15));
        if (!streamer.wait_until(until, frame_event)) return;
    }
}

void ShareStream::deliver(vlxcom::LiveStreamer& streamer, const transport::SharedFrame* real, bool discontinuity,
                          ComPtr<IMediaSample> owned) {
    if (!owned) owned = streamer.buffer();  // none held meanwhile
    if (!owned) return;
    BYTE* bits = nullptr;
    const LONG bytes = static_cast<LONG>(format_.image_bytes());
    if (FAILED(owned->GetPointer(&bits)) || !bits || owned->GetSize() < bytes) return;
    try {
        if (real && real->direct) {
            // Already in the sample.
        } else if (real) {
            render_frame(real->pixels.data(), real->width, real->height, real->stride, format_, bits, scratch_);
        } else {
            render_no_signal(format_, bits, scratch_);
        }
    } catch (const std::bad_alloc&) {
        return;
    }
    REFERENCE_TIME times[2] = {0, 0};
    const bool stamped = streamer.stream_time(times[0]);
    times[1] = times[0] + format_.frame_interval;
    if (SUCCEEDED(streamer.send(owned.get(), bytes, stamped ? times : nullptr, discontinuity)))
        counts_.delivered(bytes);
}

}  // namespace vlxshare::source
