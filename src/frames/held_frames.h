// The newest frame of a slot whose frames the library tracks. Such a slot's
// grabber keeps no frame of its own (its buffering is off: one frame-sized
// copy fewer per frame), so the frame functions read the library's copy
// through this seam; the feature that tracks frames (events/) registers it.
// Host's thread only.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

class HeldFrames {
public:
    // ISampleGrabber::GetCurrentBuffer's contract: `*size` holds the capacity
    // of `destination` on entry and the frame's byte count on return; with a
    // null `destination` only the count. S_OK, E_POINTER (null size),
    // E_OUTOFMEMORY (too small, nothing copied) or VFW_E_WRONG_STATE (no
    // frame of the grabber's present connection yet).
    virtual HRESULT copy_newest(long* size, void* destination) = 0;

protected:
    ~HeldFrames() = default;
};

// `slot`'s frames are read from `frames` from now on; null: from the
// grabber's own buffer again.
void hold_frames(int32_t slot, HeldFrames* frames);
// The held frames of `slot`, or null when its grabber holds its own.
HeldFrames* held_frames(int32_t slot);

}  // namespace vlx
