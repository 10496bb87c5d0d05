#include "microphone_stream.h"

#include "vidlox_testcam.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace vlxcam {

namespace {

// A sample of the signal as a signed value of `bits` bits' range.
int32_t signal_value(uint32_t rate, uint16_t bits, uint64_t n) {
    const uint64_t in_second = n % rate;
    if (in_second >= static_cast<uint64_t>(rate) * VLXCAM_CLICK_MS / 1000) return 0;
    const int32_t full = (1 << (bits - 1)) - 1;
    const auto level = static_cast<int32_t>(full * 0.9);
    return (in_second * 2 * 1000 / rate) % 2 == 0 ? level : -level;  // 1 kHz
}

}  // namespace

void write_test_signal(const AudioFormat& format, uint64_t first, uint32_t count, BYTE* out) {
    const uint32_t bytes = format.bits / 8u;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t value = signal_value(format.rate, format.bits, first + i);
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
        if (delivered) deliver(streamer, first, discontinuity);
        discontinuity = !delivered;
        ++block;
        if (!streamer.wait_until(Clock::now())) return;  // Pause or Stop meanwhile
    }
}

void MicrophoneStream::deliver(vlxcom::LiveStreamer& streamer, uint64_t first_sample, bool discontinuity) {
    const ComPtr<IMediaSample> sample = streamer.buffer();
    if (!sample) return;
    BYTE* bytes = nullptr;
    const auto size = static_cast<long>(block_samples_ * format_.block_align());
    if (FAILED(sample->GetPointer(&bytes)) || !bytes || sample->GetSize() < size) return;
    write_test_signal(format_, first_sample, block_samples_, bytes);
    LONGLONG media[2] = {static_cast<LONGLONG>(first_sample), static_cast<LONGLONG>(first_sample + block_samples_)};
    sample->SetMediaTime(&media[0], &media[1]);
    const REFERENCE_TIME times[2] = {static_cast<REFERENCE_TIME>(first_sample * 10000000 / format_.rate),
                                     static_cast<REFERENCE_TIME>((first_sample + block_samples_) * 10000000 / format_.rate)};
    streamer.send(sample.get(), size, times, discontinuity);
}

}  // namespace vlxcam
