#include "events/frame_events.h"

#include "common/no_destroy.h"
#include "events/frame_info.h"
#include "events/slot_tracking.h"
#include "frames/current_frame.h"
#include "library/library_state.h"

#include <array>
#include <climits>
#include <cstring>

namespace vlx {

namespace {

constexpr TrackingCalls kLockCalls{
    .set_callback = "vlx_LockFrame->SampleGrabber->SetCallback",
    .buffering_off = "vlx_LockFrame->SampleGrabber->SetBufferSamples(FALSE)",
    .find_dropped_frames = "vlx_LockFrame->CaptureGraphBuilder2->FindInterface(AMDroppedFrames)",
};

// The tracker each slot has lent a frame from. Its reference keeps the lent
// bytes alive when the slot is closed before the host gives them back.
constinit NoDestroy<std::array<ComPtr<FrameTracker>, kSlotCount>> g_lenders;

}  // namespace

int32_t lock_frame(const void** pixels, int32_t* size, void* header, int64_t* info) {
    const int32_t index = library().active_slot;
    const Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.sample_grabber) return -8;
    if (!pixels || !size || !header) return -5;
    ComPtr<FrameTracker>& lender = g_lenders.value[static_cast<size_t>(index)];
    if (lender) return -11;
    if (const int32_t failed = ensure_tracking(kLockCalls)) return failed;

    ConnectedFormat format;
    if (const int32_t failed = format.fetch({"vlx_LockFrame->SampleGrabber->GetConnectedMediaType", -8}))
        return failed;
    SlotTracking& tracking = *tracking_of(index);
    FrameStore::Lent lent;
    // Only a frame of the present connection goes with this header.
    if (!tracking.tracker->store().lend(tracking.tracker->connection(), lent)) return -7;
    lender = tracking.tracker;
    *pixels = lent.bytes;
    *size = lent.size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(lent.size);
    const FrameHeader frame_header = format.frame_header();
    std::memcpy(header, &frame_header, sizeof frame_header);
    hand_out_info(tracking, lent.stamp, info, "vlx_LockFrame->AMDroppedFrames->GetNumDropped");
    return 0;
}

int32_t unlock_frame() {
    ComPtr<FrameTracker>& lender = g_lenders.value[static_cast<size_t>(library().active_slot)];
    if (!lender) return -1;
    lender->store().give_back();
    lender.reset();
    return 0;
}

}  // namespace vlx
