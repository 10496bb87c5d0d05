// Whether a tracked slot may keep the grabber's samples themselves instead of
// copying each frame.
//
// The samples a camera sends come from an allocator with a fixed number of
// buffers; every sample the library holds is one the camera cannot fill.
// The library holds at most one for long (the newest, or a lent one), and
// for a moment a second (the one the host is copying from while a newer
// arrives); the camera, and a Smart Tee that copies from the camera's
// buffers into the same allocator's, need the others. So samples are held
// only where the grabber's input allocator has kSpareBufferFloor buffers or
// more; elsewhere (a decoder's one-buffer allocator, for instance) every
// frame is copied, as the library always did.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"

namespace vlx {

inline constexpr long kSpareBufferFloor = 3;

// The allocator of the grabber's connected input pin when it has buffers to
// spare; null when it has fewer, or when the grabber cannot tell (not
// connected, a failing call). Host's thread; nothing is reported: whatever
// it answers, frames keep arriving, copied or held.
ComPtr<IMemAllocator> allocator_to_hold_from(IBaseFilter* grabber);

}  // namespace vlx
