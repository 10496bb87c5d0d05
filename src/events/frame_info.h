// The info[] a host receives with a frame it takes (vlx_GetFrame) or
// borrows (vlx_LockFrame): both count as a take.
#pragma once

#include "events/frame_store.h"
#include "events/slot_tracking.h"

#include <cstdint>

namespace vlx {

// Counts frame `stamp` as taken by the host and, with `info`, writes its
// VLX_FRAME_INFO_COUNT values; the device's drop count is read under
// `dropped_context` (IAMDroppedFrames::GetNumDropped).
void hand_out_info(SlotTracking& tracking, const FrameStamp& stamp, int64_t* info, const char* dropped_context);

}  // namespace vlx
