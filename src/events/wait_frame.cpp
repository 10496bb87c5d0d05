#include "events/frame_events.h"

#include "events/slot_tracking.h"
#include "library/library_state.h"
#include "library/message_pump.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

constexpr TrackingCalls kWaitCalls{
    .set_callback = "vlx_WaitFrame->SampleGrabber->SetCallback",
    .buffering_off = "vlx_WaitFrame->SampleGrabber->SetBufferSamples(FALSE)",
    .find_dropped_frames = "vlx_WaitFrame->CaptureGraphBuilder2->FindInterface(AMDroppedFrames)",
};

// Milliseconds left of a wait; a negative time-out never ends.
class Deadline {
public:
    explicit Deadline(int32_t timeout_ms)
        : endless_(timeout_ms < 0), end_(GetTickCount64() + static_cast<ULONGLONG>(endless_ ? 0 : timeout_ms)) {}
    DWORD remaining_ms() const {
        if (endless_) return INFINITE;
        const ULONGLONG now = GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }

private:
    bool endless_;
    ULONGLONG end_;
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
        const HANDLE event = tracker->frame_event();
        DWORD woke = WAIT_FAILED;
        platform_call("vlx_WaitFrame.Thread.MsgWaitForMultipleObjectsEx", [&] {
            woke = MsgWaitForMultipleObjectsEx(1, &event, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            return woke == WAIT_FAILED ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
        });
        if (woke == WAIT_FAILED) return -6;
        if (woke == WAIT_OBJECT_0 + 1 && !dispatch_thread_messages()) return -4;
    }
}

}  // namespace vlx
