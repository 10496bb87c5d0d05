// The streaming thread of the shared camera's pin: reads the channel and
// delivers each frame published there as soon as it arrives, scaled and
// converted into the connected format; while nothing arrives for half a
// second (no publisher, its process gone, a damaged channel) it delivers
// the "no signal" picture at the connected rate instead.
#pragma once

#include "common/com_ptr.h"
#include "sharecam/transport/channel_reader.h"
#include "stream_format.h"

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vlxshare::source {

using vlx::ComPtr;

class ShareStreamer {
public:
    explicit ShareStreamer(int32_t channel) : channel_(channel) {}
    ~ShareStreamer() { stop(); }
    ShareStreamer(const ShareStreamer&) = delete;
    ShareStreamer& operator=(const ShareStreamer&) = delete;

    // Stopped to paused: commits the allocator and starts the thread, which
    // delivers nothing until run().
    HRESULT start(IMemAllocator* allocator, IMemInputPin* input, const StreamFormat& format);
    void run(REFERENCE_TIME stream_start, IReferenceClock* clock);
    void pause();
    // Stops and joins the thread, then decommits; safe when idle.
    void stop();

    // IAMDroppedFrames: publisher's frames skipped, samples delivered.
    LONG dropped() const { return static_cast<LONG>(dropped_.load()); }
    LONG delivered() const { return static_cast<LONG>(delivered_.load()); }
    LONG average_size() const { return static_cast<LONG>(format_.image_bytes()); }

private:
    enum class Mode { idle, paused, running, stopping };

    void thread_main();
    // One sample of the reader's frame (`real`) or of "no signal", in
    // `sample` when given (a direct read went there), else in a new one.
    void deliver(const transport::SharedFrame* real, bool discontinuity, ComPtr<IMediaSample> sample);
    // Waits for the mode to become running, or for `timeout_ms` / a frame
    // while running; false when the thread must end.
    bool wait(HANDLE frame_event, DWORD timeout_ms);

    const int32_t channel_;
    std::mutex lock_;
    Mode mode_ = Mode::idle;
    HANDLE wake_ = nullptr;  // set whenever mode_ changes
    std::thread thread_;

    // Set while idle, read by the thread.
    ComPtr<IMemAllocator> allocator_;
    ComPtr<IMemInputPin> input_;
    StreamFormat format_{};
    // Set by run() under lock_.
    ComPtr<IReferenceClock> clock_;
    REFERENCE_TIME stream_start_ = 0;

    std::vector<uint8_t> scratch_;  // the thread's
    std::atomic<int64_t> dropped_{0};
    std::atomic<int64_t> delivered_{0};
};

}  // namespace vlxshare::source
