#include "streamer.h"

#include <algorithm>
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

namespace {

using Ticks = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10000000>>;

// Whether the frame of stream time `stamp` is the one nearest a whole second:
// a second lies within half an interval before it or less than half after.
bool flashes(REFERENCE_TIME stamp, REFERENCE_TIME interval) {
    constexpr REFERENCE_TIME kSecond = 10000000;
    const REFERENCE_TIME from = stamp - interval / 2;
    const REFERENCE_TIME second = from <= 0 ? 0 : (from + kSecond - 1) / kSecond * kSecond;
    return second < from + interval;
}

}  // namespace

void CameraStream::stream(vlxcom::LiveStreamer& streamer) {
    const REFERENCE_TIME interval = std::max<REFERENCE_TIME>(format_.frame_interval, 1);
    // Stream time now: on the run's clock, or since this run began without one.
    const auto anchor = Clock::now();
    REFERENCE_TIME probe = 0;
    const bool clocked = streamer.stream_time(probe);
    const auto now = [&] {
        REFERENCE_TIME time = 0;
        if (clocked && streamer.stream_time(time)) return time;
        return std::chrono::duration_cast<Ticks>(Clock::now() - anchor).count();
    };
    REFERENCE_TIME delay = 0;
    if (!started_before_) {
        started_before_ = true;
        delay = std::chrono::duration_cast<Ticks>(first_frame_delay_).count();
    }
    // Frame slot j is due at stream time j intervals. When the downstream
    // held us up past a whole interval, those frames are dropped: the next
    // frame number shows the gap.
    const uint64_t first_slot = static_cast<uint64_t>((std::max<REFERENCE_TIME>(now() + delay, 0) + interval - 1) / interval);
    const uint32_t base = next_frame_number_;
    uint64_t slot = first_slot;
    bool first_of_run = true;
    for (;;) {
        const REFERENCE_TIME due = static_cast<REFERENCE_TIME>(slot) * interval;
        const REFERENCE_TIME left = due - now();
        // The clock's time runs with the steady clock to within its error
        // (a microphone's 0.1 %): wake a millisecond early, then look again.
        if (left > 0) {
            const REFERENCE_TIME sleep = left > 20000 ? left - left / 500 - 10000 : left;
            if (!streamer.wait_until(Clock::now() + std::chrono::microseconds(std::min<REFERENCE_TIME>(sleep / 10, 100000))))
                break;
            continue;
        }
        const uint32_t number = base + static_cast<uint32_t>(slot - first_slot);
        // A frame due while the device is gone or stalled is lost.
        if (gate_.open()) deliver(streamer, number, first_of_run, clocked ? due : static_cast<REFERENCE_TIME>(number) * interval);
        first_of_run = false;
        const REFERENCE_TIME after = now();
        const uint64_t reached = after > 0 ? static_cast<uint64_t>(after / interval) : 0;
        if (reached > slot + 1)
            counts_.dropped(base + static_cast<uint32_t>(slot + 1 - first_slot), static_cast<uint32_t>(reached - slot - 1));
        slot = reached > slot ? reached : slot + 1;
        if (!streamer.wait_until(Clock::now())) break;  // Pause or Stop meanwhile
    }
    next_frame_number_ = base + static_cast<uint32_t>(slot - first_slot);
}

void CameraStream::deliver(vlxcom::LiveStreamer& streamer, uint32_t frame_number, bool discontinuity,
                           REFERENCE_TIME stamp) {
    const ComPtr<IMediaSample> sample = streamer.buffer();
    if (!sample) return;
    BYTE* bits = nullptr;
    if (FAILED(sample->GetPointer(&bits)) || !bits) return;
    const LONG written = writer_.write(bits, sample->GetSize(), frame_number, stripe_offset_.load(),
                                       flashes(stamp, format_.frame_interval));
    if (written <= 0) return;
    // Every sample is stamped, as UVC drivers do: with the time it was taken.
    REFERENCE_TIME times[2] = {stamp, stamp + format_.frame_interval};
    if (SUCCEEDED(streamer.send(sample.get(), written, times, discontinuity))) counts_.delivered(written);
}

}  // namespace vlxcam
