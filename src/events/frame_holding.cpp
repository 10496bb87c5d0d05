#include "events/frame_events.h"

#include "events/slot_tracking.h"
#include "library/library_state.h"
#include "vidlox.h"

namespace vlx {

int32_t frame_holding() {
    if (!active_slot().is_open()) return -1;
    const SlotTracking* tracking = tracking_of(library().active_slot);
    if (!tracking) return -2;
    return tracking->tracker->holds_samples() ? VLX_FRAMES_HELD : VLX_FRAMES_COPIED;
}

}  // namespace vlx
