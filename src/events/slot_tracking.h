// Which slots track their frames, and what tracking holds for each.
//
// Tracking begins with the first frame-event call on an open slot and ends
// when the slot is released (vlx_Close, or a failed vlx_Open). Only the
// host's thread reads or changes this table.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "events/frame_tracker.h"
#include "graph/slot_observer.h"

#include <cstdint>

namespace vlx {

struct SlotTracking {
    ComPtr<FrameTracker> tracker;
    // The capture pin's dropped-frame counter; null when the device has none.
    ComPtr<IAMDroppedFrames> dropped_frames;
};

// The context strings under which one export starts tracking.
struct TrackingCalls {
    const char* set_callback;         // ISampleGrabber::SetCallback
    const char* buffering_off;        // ISampleGrabber::SetBufferSamples(FALSE)
    const char* find_dropped_frames;  // ICaptureGraphBuilder2::FindInterface(IAMDroppedFrames)
};

// The active slot's tracking, begun now when it had none: 0, -8 (no sample
// grabber), -9 (the grabber refused the callback), -10 (no memory or event
// for it). The slot must be open.
int32_t ensure_tracking(const TrackingCalls& calls);

// The tracking of `slot`, or null when it has none.
SlotTracking* tracking_of(int32_t slot);

// Frame events' observer of the slots (subscribed by vlx_Init). When a slot
// is released its tracking ends before its interfaces go: no announcement
// and no stored frame outlives it, and no platform call is made but the
// removal of a message hook no other slot needs. A format step makes the
// frames held from before untakeable.
SlotObserver& frame_events_observer();

}  // namespace vlx
