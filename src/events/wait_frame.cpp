#include "events/frame_events.h"

#include "events/slot_tracking.h"
#include "library/library_state.h"
#include "library/message_wait.h"

namespace vlx {

namespace {

constexpr TrackingCalls kWaitCalls{
    .set_callback = "vlx_WaitFrame->SampleGrabber->SetCallback",
    .buffering_off = "vlx_WaitFrame->SampleGrabber->SetBufferSamples(FALSE)",
    .find_dropped_frames = "vlx_WaitFrame->CaptureGraphBuilder2->FindInterface(AMDroppedFrames)",
};

}  // namespace

int32_t wait_frame(int32_t timeout_ms) {
    const int32_t index = library().active_slot;
    if (!active_slot().is_open()) return -1;
    if (const int32_t failed = ensure_tracking(kWaitCalls)) return failed;
    // Held for the whole wait: a window procedure run from here may close
    // the slot, which ends its tracking under this call.
    const ComPtr<FrameTracker> tracker = tracking_of(index)->tracker;
    const Slot& slot = library().slots[static_cast<size_t>(index)];
    const Deadline deadline(timeout_ms);
    while (true) {
        if (tracker->detached()) return -5;
        if (tracker->holds_new_frame()) return 0;
        // A stopped graph sends nothing: the wait would only run out.
        if (!slot.is_running()) return -2;
        const DWORD remaining = deadline.remaining_ms();
        if (remaining == 0) return 1;
        switch (wait_dispatching(tracker->frame_event(), remaining, "vlx_WaitFrame.Thread.MsgWaitForMultipleObjectsEx")) {
        case Woken::failed:
            return -6;
        case Woken::quit:
            return -4;
        default:
            break;  // look again
        }
    }
}

}  // namespace vlx
