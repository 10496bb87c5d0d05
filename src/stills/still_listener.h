// The Sample Grabber callbacks of a slot's stills: on the still branch's own
// grabber, every sample is a still (of the trigger when one is pending, else
// of the button); on the capture grabber of a device without a still pin,
// the next frame after each trigger is one. Each still is numbered, stamped
// and stored with its own picture header, the host's wait is signalled and
// its window told.
//
// Both run on a streaming thread and stay short, as the frame tracker does:
// no call into the graph, no report to the error recorder, no wait for the
// host. The headers they store with each still come from the host's thread,
// which reads the grabbers' connections.
#pragma once

#include "common/com_ptr.h"
#include "common/performance_clock.h"
#include "common/sample_grabber_callback.h"
#include "stills/still_store.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace vlx {

class StillListener final : public SampleGrabberCallback {
public:
    // A listener for `slot` with one reference, or the failure of its event.
    static HRESULT create(int32_t slot, ComPtr<StillListener>& out);

    // The still grabber's samples.
    STDMETHODIMP SampleCB(double sample_time, IMediaSample* sample) override;
    // A capture frame (the capture grabber's tap): a still when one is armed.
    void capture_sample(IMediaSample* sample);

    // ---- the host's thread ----
    // The still branch's connection, which its stills are described by.
    void set_still_header(const BITMAPINFOHEADER& header);
    // A trigger is about to fire (the still to come is the trigger's), or
    // it failed (none comes).
    void expect_trigger() { ++pending_triggers_; }
    void trigger_failed() { --pending_triggers_; }
    // The next capture frame is a still, described by `header` (the capture
    // grabber's connection now).
    void arm_capture(const BITMAPINFOHEADER& header);
    // A format step may connect the capture grabber again: an armed frame of
    // the old connection is no longer awaited.
    void disarm_capture() { armed_captures_ = 0; }
    // Stills that still arrive are ignored (the slot's graph is going).
    void detach() { detached_ = true; }
    bool detached() const { return detached_; }
    // Auto-reset, signalled whenever a still was stored.
    HANDLE still_event() const { return event_; }
    StillStore& store() { return store_; }

private:
    StillListener(int32_t slot, HANDLE event) : slot_(slot), event_(event) {}
    ~StillListener() override;

    void keep(IMediaSample* sample, const BITMAPINFOHEADER& header, int32_t source);

    const int32_t slot_;
    const HANDLE event_;
    const PerformanceClock clock_;
    std::atomic<bool> detached_{false};
    std::atomic<int> pending_triggers_{0};
    std::atomic<int> armed_captures_{0};
    std::atomic<int64_t> arrived_{0};
    // The headers, written by the host's thread and read under the lock.
    mutable SRWLOCK header_lock_ = SRWLOCK_INIT;
    BITMAPINFOHEADER still_header_{};
    BITMAPINFOHEADER capture_header_{};
    StillStore store_;
};

// The capture grabber's listener of a device without a still pin: hands
// each frame to the still listener, which keeps the armed ones.
class CaptureTap final : public SampleGrabberCallback {
public:
    explicit CaptureTap(ComPtr<StillListener> listener) : listener_(std::move(listener)) {}
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        listener_->capture_sample(sample);
        return S_OK;
    }

private:
    ~CaptureTap() override = default;
    const ComPtr<StillListener> listener_;
};

}  // namespace vlx
