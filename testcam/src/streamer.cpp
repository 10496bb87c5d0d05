#include "streamer.h"

#include <new>

namespace vlxcam {

HRESULT CameraStream::prepare(const AM_MEDIA_TYPE& connection) {
    // The pin connects with FORMAT_VideoInfo types of its own (formats.h).
    const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(connection.pbFormat);
    const VideoFormat format{info.bmiHeader.biWidth, info.bmiHeader.biHeight, info.AvgTimePerFrame,
                             info.bmiHeader.biCompression};
    try {
        writer_.configure(format);  // the row templates and picture: the frame-sized allocations
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    format_ = format;
    next_frame_number_ = 0;
    started_before_ = false;
    counts_.restart();
    return S_OK;
}

void CameraStream::stream(vlxcom::LiveStreamer& streamer) {
    const auto interval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(format_.frame_interval * 100));
    if (!started_before_) {
        started_before_ = true;
        if (!streamer.wait_until(Clock::now() + first_frame_delay_)) return;
    }
    // Frame k of this run is due k intervals after its start. When the
    // downstream held us up past a whole interval, those frames are
    // dropped: the next frame number shows the gap.
    const auto anchor = Clock::now();
    const uint32_t base = next_frame_number_;
    uint64_t k = 0;
    bool first_of_run = true;
    while (streamer.wait_until(anchor + interval * k)) {
        // A frame due while the device is gone or stalled is lost.
        if (gate_.open()) deliver(streamer, base + static_cast<uint32_t>(k), first_of_run);
        first_of_run = false;
        const auto elapsed = static_cast<uint64_t>((Clock::now() - anchor) / interval);
        if (elapsed > k + 1) counts_.dropped(base + static_cast<uint32_t>(k + 1), static_cast<uint32_t>(elapsed - k - 1));
        k = elapsed > k ? elapsed : k + 1;
    }
    next_frame_number_ = base + static_cast<uint32_t>(k);
}

void CameraStream::deliver(vlxcom::LiveStreamer& streamer, uint32_t frame_number, bool discontinuity) {
    const ComPtr<IMediaSample> sample = streamer.buffer();
    if (!sample) return;
    BYTE* bits = nullptr;
    if (FAILED(sample->GetPointer(&bits)) || !bits) return;
    const LONG written = writer_.write(bits, sample->GetSize(), frame_number, stripe_offset_.load());
    if (written <= 0) return;
    // Every sample is stamped, as UVC drivers do: on the graph's clock when
    // there is one, else on the stream's own schedule of frame times.
    REFERENCE_TIME times[2] = {static_cast<REFERENCE_TIME>(frame_number) * format_.frame_interval, 0};
    streamer.stream_time(times[0]);
    times[1] = times[0] + format_.frame_interval;
    if (SUCCEEDED(streamer.send(sample.get(), written, times, discontinuity))) counts_.delivered(written);
}

}  // namespace vlxcam
