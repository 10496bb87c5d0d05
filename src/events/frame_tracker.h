// The Sample Grabber callback of a tracked slot: it numbers, stamps and
// stores every frame the grabber passes on, signals the host's wait and
// announces the frame to the host's window.
//
// It runs on the graph's streaming thread and stays short: it never calls
// into the graph, never reports to the error recorder (which belongs to the
// host's thread) and never waits for the host.
#pragma once

#include "common/com_ptr.h"
#include "common/sample_grabber_callback.h"
#include "events/frame_store.h"

#include <atomic>
#include <cstdint>

namespace vlx {

class FrameTracker final : public SampleGrabberCallback {
public:
    // A tracker for `slot` with one reference, or E_OUTOFMEMORY or the
    // failure of the event's creation.
    static HRESULT create(int32_t slot, ComPtr<FrameTracker>& out);

    STDMETHODIMP SampleCB(double sample_time, IMediaSample* sample) override;

    // ---- the host's thread ----

    // Tracking has ended: samples that still arrive are ignored. The grabber
    // keeps its reference until it goes with the graph.
    void detach();
    bool detached() const { return detached_; }
    // Auto-reset, signalled whenever a frame has been stored.
    HANDLE frame_event() const { return event_; }
    FrameStore& store() { return store_; }
    // Whether the newest frame held is one the host has not taken yet.
    bool holds_new_frame() const { return store_.newest_number() > last_taken_; }
    // The number of the frame the host took last (0: none).
    int64_t last_taken() const { return last_taken_; }
    void took(int64_t number) {
        if (number > last_taken_) last_taken_ = number;
    }

private:
    FrameTracker(int32_t slot, HANDLE event, LONGLONG counter_frequency)
        : slot_(slot), event_(event), counter_frequency_(counter_frequency) {}
    ~FrameTracker() override;

    int64_t arrival_now() const;

    const int32_t slot_;
    const HANDLE event_;
    const LONGLONG counter_frequency_;
    std::atomic<bool> detached_{false};
    FrameStore store_;
    int64_t last_taken_ = 0;  // the host's thread alone
};

}  // namespace vlx
