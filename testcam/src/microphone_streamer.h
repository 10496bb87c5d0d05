// The test microphone's streaming thread: takes samples on the device's own
// clock and delivers them in blocks of the negotiated buffer size, each
// stamped with the stream time of its first sample.
//
// Sample n of a run is taken at n / rate seconds of stream time on the
// device's clock; a block goes out once its last sample is taken. Every
// second of stream time (sample n with n % rate == 0) starts a 10 ms click,
// a full-scale 1 kHz square wave, on every channel; the rest is silence.
// When the graph's reference clock is the microphone's own, stream time is
// the graph's (the test camera flashes at the same instants); on another
// clock the samples keep the device's count, as a free-running sound card
// does, and drift from the graph's time by the clock error.
#pragma once

#include "com_ptr.h"
#include "device_presence.h"
#include "microphone_clock.h"
#include "microphone_formats.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vlxcam {

// The click's length, in milliseconds, and its frequency.
constexpr uint32_t kClickMs = 10;
constexpr uint32_t kClickHz = 1000;

// Writes samples [first, first + count) of the test signal in `format`.
void write_test_signal(const AudioFormat& format, uint64_t first, uint32_t count, BYTE* out);

class MicrophoneStreamer {
public:
    MicrophoneStreamer(MicrophoneClock& device_clock, const DeliveryGate& gate)
        : device_clock_(device_clock), gate_(gate) {}
    ~MicrophoneStreamer() { stop(); }
    MicrophoneStreamer(const MicrophoneStreamer&) = delete;
    MicrophoneStreamer& operator=(const MicrophoneStreamer&) = delete;

    // Stopped to paused: commits the allocator, starts the thread.
    HRESULT start(IMemAllocator* allocator, IMemInputPin* input, const AudioFormat& format, uint32_t block_bytes);
    // Samples from stream time 0 = `stream_start` on `graph_clock` (null: the device's clock).
    void run(REFERENCE_TIME stream_start, IReferenceClock* graph_clock);
    void pause();
    void stop();

private:
    enum class Mode { idle, paused, running, stopping };

    void thread_main();
    void deliver(uint64_t first_sample, bool discontinuity);

    MicrophoneClock& device_clock_;
    const DeliveryGate& gate_;
    std::mutex lock_;
    std::condition_variable changed_;
    Mode mode_ = Mode::idle;
    std::thread thread_;

    ComPtr<IMemAllocator> allocator_;
    ComPtr<IMemInputPin> input_;
    AudioFormat format_{};
    uint32_t block_samples_ = 1;
    // The run, set under lock_: the device's time at stream time 0.
    REFERENCE_TIME device_start_ = 0;
    bool new_run_ = false;
};

}  // namespace vlxcam
