// Frame arrivals of one slot, counted where the Sample Grabber hands each
// sample on: the grabber's callback runs on the graph's streaming thread
// and only stamps two atomics, so the health watcher can tell "delivering"
// from "stalled" without calling into the graph.
#pragma once

#include "common/sample_grabber_callback.h"

#include <atomic>
#include <cstdint>

namespace vlx::health {

class FrameTap final : public SampleGrabberCallback {
public:
    // A new tap with one reference, or null when memory runs out.
    static FrameTap* create() noexcept;

    STDMETHODIMP SampleCB(double sample_time, IMediaSample* sample) override;

    // Counts one arrival now: for a grabber that already held a frame when
    // the tap was fitted.
    void note_arrival() noexcept;

    uint64_t frames() const noexcept { return frames_.load(std::memory_order_acquire); }
    // GetTickCount64 at the latest arrival (0: none yet).
    uint64_t last_arrival_ms() const noexcept { return last_arrival_ms_.load(std::memory_order_acquire); }

private:
    FrameTap() = default;
    ~FrameTap() override = default;

    std::atomic<uint64_t> frames_{0};
    std::atomic<uint64_t> last_arrival_ms_{0};
};

}  // namespace vlx::health
