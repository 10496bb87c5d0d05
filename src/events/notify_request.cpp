#include "events/frame_events.h"

#include "events/frame_notify.h"
#include "events/slot_tracking.h"
#include "library/library_state.h"

namespace vlx {

namespace {

constexpr TrackingCalls kNotifyCalls{
    .set_callback = "vlx_SetFrameNotify->SampleGrabber->SetCallback",
    .buffering_off = "vlx_SetFrameNotify->SampleGrabber->SetBufferSamples(FALSE)",
    .find_dropped_frames = "vlx_SetFrameNotify->CaptureGraphBuilder2->FindInterface(AMDroppedFrames)",
};

}  // namespace

int32_t set_frame_notify(HWND window, uint32_t message) {
    const int32_t index = library().active_slot;
    if (!window) {
        // Stopping what never started starts nothing: the slot stays
        // untracked, and a closed slot announces nothing anyway.
        if (tracking_of(index)) clear_frame_notify_target(index);
        return 0;
    }
    if (!active_slot().is_open()) return -1;
    DWORD thread = 0;
    if (const int32_t refused = window_thread(window, thread)) return refused;
    if (const int32_t failed = ensure_tracking(kNotifyCalls)) return failed;
    return set_frame_notify_target(index, window, thread, message);
}

}  // namespace vlx
