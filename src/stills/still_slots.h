// What the stills extension keeps per slot: the still size the host asked
// for (kept across vlx_Close, as a requested format is) and, while the slot
// is open, the device's still pin, the still branch in its graph and the
// listener its stills arrive through. Only the host's thread reads or
// changes this table.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "graph/slot_observer.h"
#include "stills/still_listener.h"

#include <cstdint>

namespace vlx {

struct StillSlot {
    // vlx_SetStillSize; 0 x 0: no stills asked for.
    int32_t width = 0;
    int32_t height = 0;

    // ---- the open graph's, released with it ----
    ComPtr<StillListener> listener;
    bool looked_for_pin = false;
    ComPtr<IPin> still_pin;  // null after looking: the device has none
    // The still branch: a grabber of its own into a Null Renderer.
    ComPtr<IBaseFilter> grabber_filter;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IBaseFilter> renderer;
    ComPtr<IAMVideoControl> control;  // the device's, when it has one
    bool can_trigger = false;         // the still pin offers VideoControlFlag_Trigger
    bool capture_tapped = false;      // the capture grabber hands frames to the listener

    bool has_branch() const { return static_cast<bool>(grabber); }
};

StillSlot& still_slot(int32_t slot);

// The slot's listener, made now when it has none: 0 or E_OUTOFMEMORY's code
// of the caller (`out_of_memory`).
int32_t ensure_still_listener(int32_t slot, int32_t out_of_memory);

// Looks for the still pin of the slot's device once per graph (a probe,
// unreported: a device without one simply has none); whether it has one.
bool find_still_pin(int32_t slot);

// The stills' observer of the slots (subscribed by vlx_Init): builds the
// still branch at vlx_Open when the slot asks for stills, disarms a capture
// still across a format step, and lets the graph's objects go when the slot
// is released.
SlotObserver& stills_observer();

}  // namespace vlx
