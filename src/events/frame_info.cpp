#include "events/frame_info.h"

#include "library/platform_call.h"
#include "vidlox.h"

namespace vlx {

namespace {

// The device's own count of frames it dropped, or -1 without one.
int64_t device_dropped_frames(const SlotTracking& tracking, const char* context) {
    if (!tracking.dropped_frames) return -1;
    long dropped = 0;
    const HRESULT status = reported_call(context, [&] { return tracking.dropped_frames->GetNumDropped(&dropped); });
    return SUCCEEDED(status) ? dropped : -1;
}

}  // namespace

void hand_out_info(SlotTracking& tracking, const FrameStamp& stamp, int64_t* info, const char* dropped_context) {
    FrameTracker& tracker = *tracking.tracker.get();
    const int64_t previous = tracker.last_taken();
    tracker.took(stamp.number);
    if (!info) return;
    info[VLX_FRAME_NUMBER] = stamp.number;
    info[VLX_FRAME_SAMPLE_TIME] = stamp.sample_time;
    info[VLX_FRAME_ARRIVAL] = stamp.arrival;
    info[VLX_FRAME_MISSED] = stamp.number > previous + 1 ? stamp.number - previous - 1 : 0;
    info[VLX_FRAME_DROPPED] = device_dropped_frames(tracking, dropped_context);
}

}  // namespace vlx
