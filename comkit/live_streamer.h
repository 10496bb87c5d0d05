// The streaming thread of a live source's output pin. The streamer keeps
// the pin's states and every wait: Stopped to Paused commits the allocator
// and starts the thread, Run lets it deliver, Pause holds it, Stop ends and
// joins it before the allocator is decommitted. What goes out, and when, is
// the pin's StreamSource, which waits only through the streamer, so that a
// Pause and a Run in quick succession can never leave it asleep.
#pragma once

#include "common/com_ptr.h"

#include <windows.h>
#include <dshow.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>

namespace vlxcom {

using vlx::ComPtr;

class LiveStreamer;

// What a live pin streams.
class StreamSource {
public:
    // Stopped to Paused (the filter's thread, its lock held), before the
    // thread starts: ready for `connection`, counts from zero.
    virtual HRESULT prepare(const AM_MEDIA_TYPE& connection) = 0;
    // On the streaming thread, once per run: delivers through `streamer`
    // and returns once one of its waits answers false (Pause or Stop).
    virtual void stream(LiveStreamer& streamer) = 0;
    // After the thread ended (Stop; the filter's thread).
    virtual void finish() {}

protected:
    ~StreamSource() = default;
};

class LiveStreamer {
public:
    using Clock = std::chrono::steady_clock;

    explicit LiveStreamer(StreamSource& source) : source_(source) {}
    ~LiveStreamer();
    LiveStreamer(const LiveStreamer&) = delete;
    LiveStreamer& operator=(const LiveStreamer&) = delete;

    // ---- The filter's side (its lock held) ----
    // Stopped to Paused: the source prepares, the allocator is committed and
    // the thread starts; it delivers nothing until run().
    HRESULT start(IMemAllocator* allocator, IMemInputPin* input, const AM_MEDIA_TYPE& connection);
    // Delivery relative to `stream_start` on `clock` (may be null).
    void run(REFERENCE_TIME stream_start, IReferenceClock* clock);
    void pause();
    // Stops and joins the thread, then decommits; safe when idle.
    void stop();

    // ---- The source's side (the streaming thread) ----
    // Waits until `deadline`: false as soon as the stream is no longer
    // running, true at the deadline.
    bool wait_until(Clock::time_point deadline);
    // The same, also woken early by `event` (null: none).
    bool wait_until(Clock::time_point deadline, HANDLE event);
    // The same beside several events (fewer than MAXIMUM_WAIT_OBJECTS):
    // `fired` receives the index of the one that ended the wait, whose
    // signal the wait took (an auto-reset event is reset), or -1.
    bool wait_until(Clock::time_point deadline, std::span<const HANDLE> events, int& fired);
    // An empty sample of the connection's allocator, or null (Stop
    // decommitted it).
    ComPtr<IMediaSample> buffer();
    // The stream time now on the graph's clock; false without a clock.
    bool stream_time(REFERENCE_TIME& now);
    // Sends `sample` holding `bytes` downstream as a sync point, stamped
    // with `times` (start, end) when given: the downstream's answer.
    HRESULT send(IMediaSample* sample, LONG bytes, const REFERENCE_TIME* times, bool discontinuity);

private:
    enum class Mode { idle, paused, running, stopping };

    void thread_main();
    // mode_ changes under lock_, and both wake-ups with it: the condition
    // variable for waits without an event, `leaving_run_` (set whenever the
    // mode is not running) for waits beside one.
    void set_mode(Mode mode);

    StreamSource& source_;
    std::mutex lock_;
    std::condition_variable changed_;
    HANDLE leaving_run_ = nullptr;  // manual reset; made by the first start()
    Mode mode_ = Mode::idle;
    std::thread thread_;

    // Set while idle, read by the thread.
    ComPtr<IMemAllocator> allocator_;
    ComPtr<IMemInputPin> input_;
    // Set by run() under lock_, and read only under it: a Pause and Run
    // while a sample is on its way replace them.
    ComPtr<IReferenceClock> clock_;
    REFERENCE_TIME stream_start_ = 0;
};

}  // namespace vlxcom
