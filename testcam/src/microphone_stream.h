// What the test microphone's pin streams: samples taken on the device's own
// clock, delivered in blocks of the negotiated size, each stamped with the
// stream time of its first sample (the thread, its states and its waits are
// comkit's LiveStreamer).
//
// Sample n of a run is taken at n / rate seconds of stream time on the
// device's clock; a block goes out once its last sample is taken. Every
// second of stream time (sample n with n % rate == 0) starts a 10 ms click,
// a 1 kHz square wave at 90 % of full scale, on every channel; the rest is
// silence. When the graph's reference clock is the microphone's own, stream
// time is the graph's (the test camera flashes at the same instants); on
// another clock the samples keep the device's count, as a free-running
// sound card does, and drift from the graph's time by the clock error.
#pragma once

#include "com_ptr.h"
#include "comkit/live_streamer.h"
#include "device_presence.h"
#include "microphone_clock.h"
#include "microphone_formats.h"

#include <atomic>
#include <cstdint>

namespace vlxcam {

// Writes samples [first, first + count) of the test signal in `format`.
void write_test_signal(const AudioFormat& format, uint64_t first, uint32_t count, BYTE* out);

// The run the stream belongs to, as its filter knows it.
class MicrophoneRun {
public:
    // Stream time now when the graph's clock is the device's own (which the
    // streamer is not given: the filter holds no reference to itself).
    virtual bool own_stream_time(REFERENCE_TIME& now) = 0;
    // The block size the pin negotiated, in bytes.
    virtual uint32_t block_bytes() const = 0;

protected:
    ~MicrophoneRun() = default;
};

class MicrophoneStream final : public vlxcom::StreamSource {
public:
    MicrophoneStream(MicrophoneClock& device_clock, const DeliveryGate& gate, MicrophoneRun& run)
        : device_clock_(device_clock), gate_(gate), run_(run) {}

    HRESULT prepare(const AM_MEDIA_TYPE& connection) override;
    void stream(vlxcom::LiveStreamer& streamer) override;

private:
    void deliver(vlxcom::LiveStreamer& streamer, uint64_t first_sample, bool discontinuity);

    MicrophoneClock& device_clock_;
    const DeliveryGate& gate_;
    MicrophoneRun& run_;
    // Set by prepare() while the thread does not run; the thread's after.
    AudioFormat format_{};
    uint32_t block_samples_ = 1;
};

}  // namespace vlxcam
