#include "graph/capture_format.h"

#include "formats/cap_config.h"
#include "formats/format_codes.h"
#include "frames/held_frames.h"
#include "graph/slot_observer.h"
#include "library/library_state.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

// The Sample Grabber keeps the last sample of its old connection across a
// reconnection and hands it out under the new type; switching buffering off
// lets go of it. Only a grabber that holds a sample is touched: one whose
// buffering is off (E_INVALIDARG) stays off, one that holds nothing yet
// needs nothing.
void drop_held_sample(ISampleGrabber* grabber) {
    long held = 0;
    const HRESULT holds = platform_call("vlx_SetDevCapConfig.SampleGrabber.GetCurrentBuffer(Size)",
                                        [&] { return grabber->GetCurrentBuffer(&held, nullptr); });
    if (holds != S_OK) return;
    platform_call("vlx_SetDevCapConfig.SampleGrabber.SetBufferSamples(FALSE)",
                  [&] { return grabber->SetBufferSamples(FALSE); });
    platform_call("vlx_SetDevCapConfig.SampleGrabber.SetBufferSamples(TRUE)",
                  [&] { return grabber->SetBufferSamples(TRUE); });
}

}  // namespace

int32_t set_capture_format() {
    const int32_t result = apply_requested_format();
    // Negative codes up to -6 offered nothing; kTeeLeftUnconnected did.
    if (result < 0 && result != kTeeLeftUnconnected) return result;
    const Slot& slot = active_slot();
    // A tracked slot's grabber holds no sample (its buffering is off).
    if (slot.sample_grabber && !slot.is_running() && !held_frames(library().active_slot))
        drop_held_sample(slot.sample_grabber.get());
    announce_connection_changed(library().active_slot);
    return result;
}

}  // namespace vlx
