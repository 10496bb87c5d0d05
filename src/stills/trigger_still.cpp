#include "stills/stills.h"

#include "frames/current_frame.h"
#include "graph/grabber_callback.h"
#include "library/library_state.h"
#include "library/platform_call.h"
#include "stills/still_codes.h"
#include "stills/still_slots.h"

#include <new>

namespace vlx {

namespace {

// The still pin's software trigger, keeping the mode the pin is in (its
// external trigger, the button, stays as it was).
int32_t fire_trigger(StillSlot& still) {
    if (!still.control || !still.can_trigger) return kTriggerNoControl;
    LONG mode = 0;
    if (FAILED(reported_call("vlx_TriggerStill->AMVideoControl->GetMode",
                             [&] { return still.control->GetMode(still.still_pin.get(), &mode); })))
        return kTriggerRefused;
    // Counted first: the still may come before SetMode returns.
    still.listener->expect_trigger();
    if (FAILED(reported_call("vlx_TriggerStill->AMVideoControl->SetMode(Trigger)", [&] {
            return still.control->SetMode(still.still_pin.get(), mode | VideoControlFlag_Trigger);
        }))) {
        still.listener->trigger_failed();
        return kTriggerRefused;
    }
    return kTriggered;
}

// A device without a still pin: the next capture frame, at the capture size.
int32_t arm_capture_still(int32_t index, Slot& slot, StillSlot& still) {
    if (!slot.sample_grabber) return kTriggerNoGrabber;
    ConnectedFormat format;
    if (format.fetch({"vlx_TriggerStill->SampleGrabber->GetConnectedMediaType", kTriggerNoGrabber}) != 0)
        return kTriggerNoFormat;
    if (!still.capture_tapped) {
        ComPtr<CaptureTap> tap = ComPtr<CaptureTap>::adopt(new (std::nothrow) CaptureTap(still.listener));
        if (!tap) return kTriggerOutOfMemory;
        // The grabber's one callback may be there already (frame events,
        // device health, sharing).
        const HRESULT listening = add_grabber_listener(index, tap.get(), [&](ISampleGrabberCB* callback) {
            return reported_call("vlx_TriggerStill->SampleGrabber->SetCallback",
                                 [&] { return slot.sample_grabber->SetCallback(callback, 0); });
        });
        if (listening == E_OUTOFMEMORY) return kTriggerOutOfMemory;
        if (FAILED(listening)) return kTriggerCallbackRefused;
        still.capture_tapped = true;
    }
    still.listener->arm_capture(format.video_info().bmiHeader);
    return kTriggered;
}

}  // namespace

int32_t trigger_still() {
    const int32_t index = library().active_slot;
    Slot& slot = active_slot();
    if (!slot.is_open()) return kTriggerSlotNotOpen;
    if (!slot.is_running()) return kTriggerNotRunning;
    StillSlot& still = still_slot(index);
    if (const int32_t failed = ensure_still_listener(index, kTriggerOutOfMemory)) return failed;
    if (still.has_branch()) return fire_trigger(still);
    if (find_still_pin(index)) return kTriggerNoBranch;
    return arm_capture_still(index, slot, still);
}

}  // namespace vlx
