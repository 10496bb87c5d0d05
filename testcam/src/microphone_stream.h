// What the test microphone's pin streams: samples taken on the device's own
// clock, delivered in blocks of the negotiated size, each stamped with the
// stream time of its first sample (the thread, its states and its waits are
// comkit's LiveStreamer).
//
// Sample n of a run is taken at n / rate seconds of stream time on the
// device's clock; a block goes out once its last sample is taken, stamped by
// the device's count. Every second of the graph's stream time starts a 10 ms
// click, a 1 kHz square wave at 90 % of full scale, on every channel; the
// rest is silence: the clicks mark the same instants as the test camera's
// flashes, whichever clock runs the graph. When that clock is the
// microphone's own, the samples' count is the graph's time (the click of
// second k starts at sample k * rate); on another clock the count drifts
// from the graph's time by the clock error, as a free-running sound card's
// does, and the clicks with it.
#pragma once

#include "com_ptr.h"
#include "comkit/live_streamer.h"
#include "device_presence.h"
#include "microphone_clock.h"
#include "microphone_formats.h"

#include <atomic>
#include <cstdint>

namespace vlxcam {

// Writes samples [first, first + count) of the test signal in `format`,
// sample `first` taken at stream time `first_time`.
void write_test_signal(const AudioFormat& format, REFERENCE_TIME first_time, uint64_t first, uint32_t count, BYTE* out);

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
    REFERENCE_TIME graph_time_of(vlxcom::LiveStreamer& streamer, REFERENCE_TIME device_start, uint64_t sample);
    void deliver(vlxcom::LiveStreamer& streamer, uint64_t first_sample, REFERENCE_TIME graph_time, bool discontinuity);

    MicrophoneClock& device_clock_;
    const DeliveryGate& gate_;
    MicrophoneRun& run_;
    // Set by prepare() while the thread does not run; the thread's after.
    AudioFormat format_{};
    uint32_t block_samples_ = 1;
};

}  // namespace vlxcam
