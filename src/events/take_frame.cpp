#include "events/frame_events.h"

#include "events/frame_info.h"
#include "events/slot_tracking.h"
#include "frames/current_frame.h"
#include "library/library_state.h"
#include "library/platform_call.h"

#include <climits>
#include <cstring>

namespace vlx {

namespace {

constexpr TrackingCalls kTakeCalls{
    .set_callback = "vlx_GetFrame->SampleGrabber->SetCallback",
    .buffering_off = "vlx_GetFrame->SampleGrabber->SetBufferSamples(FALSE)",
    .find_dropped_frames = "vlx_GetFrame->CaptureGraphBuilder2->FindInterface(AMDroppedFrames)",
};

}  // namespace

int32_t take_frame(void* pixels, int32_t* size, void* header, int64_t* info) {
    const int32_t index = library().active_slot;
    const Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.sample_grabber) return -8;
    if (!size || !header) return -5;
    if (const int32_t failed = ensure_tracking(kTakeCalls)) return failed;

    ConnectedFormat format;
    if (const int32_t failed = format.fetch({"vlx_GetFrame->SampleGrabber->GetConnectedMediaType", -8}))
        return failed;
    SlotTracking& tracking = *tracking_of(index);
    FrameTracker& tracker = *tracking.tracker.get();
    const size_t capacity = *size > 0 ? static_cast<size_t>(*size) : 0;
    // The header is the connection's now; a frame held from before the
    // grabber was connected again (a new format set on a stopped slot) does
    // not belong to it and is not handed out with it, whatever its size.
    const FrameStore::Taken taken = tracker.store().take(pixels, capacity, tracker.connection());
    if (taken.outcome == FrameStore::Outcome::no_frame) return -7;
    // Frames come from a grabber whose sizes are 32-bit.
    *size = taken.size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(taken.size);
    if (taken.outcome == FrameStore::Outcome::too_small) return -4;

    const FrameHeader frame_header = format.frame_header();
    std::memcpy(header, &frame_header, sizeof frame_header);
    if (taken.outcome == FrameStore::Outcome::sized) return 0;

    hand_out_info(tracking, taken.stamp, info, "vlx_GetFrame->AMDroppedFrames->GetNumDropped");
    return 0;
}

}  // namespace vlx
