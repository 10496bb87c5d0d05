#include "events/slot_tracking.h"

#include "common/no_destroy.h"
#include "events/frame_notify.h"
#include "events/sample_holding.h"
#include "frames/held_frames.h"
#include "graph/grabber_callback.h"
#include "library/library_state.h"
#include "library/platform_call.h"

#include <array>

namespace vlx {

namespace {

constinit NoDestroy<std::array<SlotTracking, kSlotCount>> g_tracking;

}  // namespace

int32_t ensure_tracking(const TrackingCalls& calls) {
    const int32_t index = library().active_slot;
    Slot& slot = active_slot();
    if (!slot.sample_grabber) return -8;
    SlotTracking& entry = g_tracking.value[static_cast<size_t>(index)];
    if (entry.tracker) return 0;

    ComPtr<FrameTracker> tracker;
    if (FAILED(FrameTracker::create(index, tracker))) return -10;
    tracker->hold_samples_from(allocator_to_hold_from(slot.grabber_filter.get()));
    // Method 0: SampleCB, which sees the sample's times as well as its bytes.
    // The grabber's one callback may already be there for device health.
    const HRESULT listening = add_grabber_listener(index, tracker.get(), [&](ISampleGrabberCB* callback) {
        return reported_call(calls.set_callback, [&] { return slot.sample_grabber->SetCallback(callback, 0); });
    });
    if (listening == E_OUTOFMEMORY) return -10;
    if (FAILED(listening)) return -9;
    // The library holds the newest frame from now on; the grabber's own copy
    // of each frame would be one pass too many. A grabber that keeps
    // buffering costs that pass and nothing else.
    reported_call(calls.buffering_off, [&] { return slot.sample_grabber->SetBufferSamples(FALSE); });
    hold_frames(index, tracker.get());
    // A device without the counter is tracked all the same.
    ComPtr<IAMDroppedFrames> dropped_frames;
    if (slot.capture_builder && slot.device_filter) {
        reported_call(calls.find_dropped_frames, [&] {
            return slot.capture_builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, slot.device_filter.get(),
                                                       IID_IAMDroppedFrames, dropped_frames.put_void());
        });
    }
    entry.tracker = std::move(tracker);
    entry.dropped_frames = std::move(dropped_frames);
    return 0;
}

SlotTracking* tracking_of(int32_t slot) {
    SlotTracking& entry = g_tracking.value[static_cast<size_t>(slot)];
    return entry.tracker ? &entry : nullptr;
}

namespace {

class FrameEventsObserver final : public SlotObserver {
public:
    void connection_changed(int32_t slot) override {
        SlotTracking* tracking = tracking_of(slot);
        if (!tracking) return;
        tracking->tracker->new_connection();
        // A new connection may have brought another allocator.
        const Slot& connected = library().slots[static_cast<size_t>(slot)];
        tracking->tracker->hold_samples_from(allocator_to_hold_from(connected.grabber_filter.get()));
    }
    void stopped(int32_t slot) override {
        // A stopped camera needs its buffers back, all of them, before it can
        // connect again: the newest frame stays, as a copy (a lent one stays
        // as it is, see vlx_LockFrame).
        if (SlotTracking* tracking = tracking_of(slot)) tracking->tracker->store().copy_held_newest();
    }
    void releasing(int32_t slot) override {
        SlotTracking& entry = g_tracking.value[static_cast<size_t>(slot)];
        if (!entry.tracker) return;
        clear_frame_notify_target(slot);
        hold_frames(slot, nullptr);
        // Detached, it ignores samples still on their way; the grabber's
        // callback keeps it alive until the graph goes (grabber_callback.h).
        entry.tracker->detach();
        entry = SlotTracking{};
    }
};

constinit FrameEventsObserver g_observer;

}  // namespace

SlotObserver& frame_events_observer() { return g_observer; }

}  // namespace vlx
