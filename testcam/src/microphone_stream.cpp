#include "microphone_stream.h"

#include "vidlox_testcam.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace vlxcam {

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

// The signal at stream time `time` (100 ns) as a signed value of `bits` bits' range.
int32_t signal_value(uint16_t bits, REFERENCE_TIME time) {
    const REFERENCE_TIME in_second = (time % kSecond + kSecond) % kSecond;
    if (in_second >= kSecond / 1000 * VLXCAM_CLICK_MS) return 0;
    const int32_t full = (1 << (bits - 1)) - 1;
    const auto level = static_cast<int32_t>(full * 0.9);
    return (in_second * 2 * 1000 / kSecond) % 2 == 0 ? level : -level;  // 1 kHz
}

}  // namespace

void write_test_signal(const AudioFormat& format, REFERENCE_TIME first_time, uint64_t first, uint32_t count,
                       BYTE* out) {
    const uint32_t bytes = format.bits / 8u;
    const auto since_first = [&](uint64_t n) {
        return static_cast<REFERENCE_TIME>((first + n) * kSecond / format.rate - first * kSecond / format.rate);
    };
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t value = signal_value(format.bits, first_time + since_first(i));
        // 8-bit PCM is unsigned around 128; wider samples are signed, little-endian.
        const uint32_t stored = bytes == 1 ? static_cast<uint32_t>(value + 128) : static_cast<uint32_t>(value);
        for (uint16_t c = 0; c < format.channels; ++c) {
            for (uint32_t b = 0; b < bytes; ++b) *out++ = static_cast<BYTE>(stored >> (8 * b));
        }
    }
}

HRESULT MicrophoneStream::prepare(const AM_MEDIA_TYPE& connection) {
    const std::optional<AudioFormat> format = offered_format(connection);
    if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
    format_ = *format;
    block_samples_ = std::max<uint32_t>(run_.block_bytes() / format_.block_align(), 1);
    return S_OK;
}

void MicrophoneStream::stream(vlxcom::LiveStreamer& streamer) {
    using Clock = vlxcom::LiveStreamer::Clock;
    // Where stream time 0 lies on the device's clock: by the graph's clock,
    // the device's own, or (no clock) the run's beginning.
    REFERENCE_TIME stream_now = 0;
    if (!streamer.stream_time(stream_now) && !run_.own_stream_time(stream_now)) stream_now = 0;
    const REFERENCE_TIME device_start = device_clock_.now() - stream_now;
    // A run takes samples from the stream time it starts at.
    uint64_t block = static_cast<uint64_t>(std::max<REFERENCE_TIME>(stream_now, 0)) * format_.rate / 10000000 /
                     block_samples_;
    bool discontinuity = true;
    for (;;) {
        const uint64_t first = block * block_samples_;
        const REFERENCE_TIME due =
            device_start + static_cast<REFERENCE_TIME>((first + block_samples_) * 10000000 / format_.rate);
        if (const uint32_t wait = device_clock_.wait_ms(due)) {
            if (!streamer.wait_until(Clock::now() + std::chrono::milliseconds(wait))) return;
            continue;
        }
        // Samples taken while the device is gone or stalled are lost.
        const bool delivered = gate_.open();
        if (delivered) deliver(streamer, first, graph_time_of(streamer, device_start, first), discontinuity);
        discontinuity = !delivered;
        ++block;
        if (!streamer.wait_until(Clock::now())) return;  // Pause or Stop meanwhile
    }
}

// The graph's stream time at which the device took sample `sample` of this
// run: read off both clocks now (the block was taken a block's length ago at
// most, over which their rates agree to within the clock error).
REFERENCE_TIME MicrophoneStream::graph_time_of(vlxcom::LiveStreamer& streamer, REFERENCE_TIME device_start,
                                               uint64_t sample) {
    const auto by_count = static_cast<REFERENCE_TIME>(sample * 10000000 / format_.rate);
    REFERENCE_TIME graph_now = 0;
    // On its own clock (or none) the device's count is the stream's time.
    if (!streamer.stream_time(graph_now)) return by_count;
    return graph_now - (device_clock_.now() - (device_start + by_count));
}

void MicrophoneStream::deliver(vlxcom::LiveStreamer& streamer, uint64_t first_sample, REFERENCE_TIME graph_time,
                               bool discontinuity) {
    const ComPtr<IMediaSample> sample = streamer.buffer();
    if (!sample) return;
    BYTE* bytes = nullptr;
    const auto size = static_cast<long>(block_samples_ * format_.block_align());
    if (FAILED(sample->GetPointer(&bytes)) || !bytes || sample->GetSize() < size) return;
    write_test_signal(format_, graph_time, first_sample, block_samples_, bytes);
    LONGLONG media[2] = {static_cast<LONGLONG>(first_sample), static_cast<LONGLONG>(first_sample + block_samples_)};
    sample->SetMediaTime(&media[0], &media[1]);
    const REFERENCE_TIME times[2] = {static_cast<REFERENCE_TIME>(first_sample * 10000000 / format_.rate),
                                     static_cast<REFERENCE_TIME>((first_sample + block_samples_) * 10000000 / format_.rate)};
    streamer.send(sample.get(), size, times, discontinuity);
}

}  // namespace vlxcam
