// The streaming thread of one output pin: paints frames into the connection's
// allocator buffers and delivers them downstream at the connected rate while
// the filter runs.
//
// With a graph clock, frames are taken on it: frame slot j of a run is due
// at stream time j * interval (counted from stream time 0, the first slot at
// or after the run's start), stamped with that time whenever it goes out,
// and the frame nearest each whole second of stream time carries the flash
// (vidlox_testcam.h), at the instant the test microphone clicks. Without a
// clock the stream keeps its own schedule on the steady clock.
#pragma once

#include "com_ptr.h"
#include "delivery_counts.h"
#include "device_presence.h"
#include "formats.h"
#include "frame_writer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vlxcam {

class Streamer {
public:
    // `stripe_offset` is the filter's brightness setting, read for every frame;
    // frames pass `gate` (the device's presence) on their way out.
    Streamer(std::chrono::milliseconds first_frame_delay, const std::atomic<int>& stripe_offset,
             const DeliveryGate& gate)
        : first_frame_delay_(first_frame_delay), stripe_offset_(stripe_offset), gate_(gate) {}
    ~Streamer() { stop(); }
    Streamer(const Streamer&) = delete;
    Streamer& operator=(const Streamer&) = delete;

    // Stopped to paused: commits the allocator and starts the thread, which
    // delivers nothing until run().
    HRESULT start(IMemAllocator* allocator, IMemInputPin* input, const VideoFormat& format);
    // Delivery relative to `stream_start` on `clock` (may be null: no stamps).
    void run(REFERENCE_TIME stream_start, IReferenceClock* clock);
    void pause();
    // Stops and joins the thread, then decommits; safe to call when idle.
    void stop();
    // Frames delivered and dropped since the stream started.
    const DeliveryCounts& counts() const { return counts_; }

private:
    enum class Mode { idle, paused, running, stopping };
    using Clock = std::chrono::steady_clock;

    void thread_main();
    // Runs without lock_: `clock` and `stream_start` are the thread's own
    // copies of the run they belong to, taken under lock_.
    // `stamp` is the frame's stream time: its slot's with a clock, else the
    // frame number's place in the stream's own schedule.
    void deliver(uint32_t frame_number, bool discontinuity, REFERENCE_TIME stamp);
    // Stream time now: on the run's clock, or since `anchor` without one.
    static REFERENCE_TIME stream_time(IReferenceClock* clock, REFERENCE_TIME stream_start, Clock::time_point anchor);

    const std::chrono::milliseconds first_frame_delay_;
    const std::atomic<int>& stripe_offset_;
    const DeliveryGate& gate_;
    std::mutex lock_;
    std::condition_variable changed_;
    Mode mode_ = Mode::idle;
    std::thread thread_;

    // Set while idle, read by the thread.
    ComPtr<IMemAllocator> allocator_;
    ComPtr<IMemInputPin> input_;
    VideoFormat format_{};
    FrameWriter writer_;
    // Set by run() under lock_, and read only under it: a Pause and Run
    // while a frame is on its way replace them.
    ComPtr<IReferenceClock> clock_;
    REFERENCE_TIME stream_start_ = 0;
    uint64_t run_generation_ = 0;  // advances with every run()
    uint32_t next_frame_number_ = 0;
    bool started_before_ = false;
    DeliveryCounts counts_;
};

}  // namespace vlxcam
