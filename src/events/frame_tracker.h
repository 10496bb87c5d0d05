// The Sample Grabber callback of a tracked slot: it numbers, stamps and
// stores every frame the grabber passes on (the sample itself where its
// allocator has buffers to spare, else a copy: frame_store.h), signals the
// host's wait and announces the frame to the host's window.
//
// It runs on the graph's streaming thread and stays short: it never calls
// into the graph, never reports to the error recorder (which belongs to the
// host's thread) and never waits for the host.
#pragma once

#include "common/com_ptr.h"
#include "common/sample_grabber_callback.h"
#include "events/frame_store.h"
#include "frames/held_frames.h"

#include <atomic>
#include <cstdint>

namespace vlx {

class FrameTracker final : public SampleGrabberCallback, public HeldFrames {
public:
    // A tracker for `slot` with one reference, or E_OUTOFMEMORY or the
    // failure of the event's creation.
    static HRESULT create(int32_t slot, ComPtr<FrameTracker>& out);

    STDMETHODIMP SampleCB(double sample_time, IMediaSample* sample) override;

    // HeldFrames: the frame functions read the newest frame from here.
    HRESULT copy_newest(long* size, void* destination) override;

    // ---- the host's thread ----

    // Samples from `allocator` are held from now on (null: every frame is
    // copied); see sample_holding.h.
    void hold_samples_from(ComPtr<IMemAllocator> allocator);
    bool holds_samples() const { return holds_samples_; }
    // Tracking has ended: samples that still arrive are ignored, and every
    // sample held but a lent one goes back. The grabber keeps its reference
    // until it goes with the graph.
    void detach();
    bool detached() const { return detached_; }
    // Auto-reset, signalled whenever a frame has been stored.
    HANDLE frame_event() const { return event_; }
    FrameStore& store() { return store_; }
    // The one test of a frame the host can take, for the wait and the take
    // alike: the newest frame held came through the grabber's connection of
    // today and the host has not taken it yet.
    bool holds_new_frame() const { return store_.newest_number(connection()) > last_taken_; }
    // The grabber's connection frames come through now.
    uint64_t connection() const { return connection_.load(); }
    // A format step may have connected the grabber again: frames held from
    // before are of another size or layout than the connection's header, and
    // are no frame the host can take. The graph is stopped meanwhile, so no
    // sample is between the old connection and the new one.
    void new_connection() { connection_.fetch_add(1); }
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
    std::atomic<uint64_t> connection_{1};
    FrameStore store_;
    int64_t last_taken_ = 0;  // the host's thread alone
    bool holds_samples_ = false;  // the host's thread alone
};

}  // namespace vlx
