// A Sample Grabber calls one callback. The features that watch a slot's
// frames (frame events, device health) share it: the first of them installs
// the slot's callback on the grabber, and each adds its own listener, which
// from then on sees every sample the grabber passes on.
//
// The lifetime of the listeners (the frame tracker, the health tap), in one
// place: the slot's callback holds a reference to each, and the grabber
// holds the callback. The grabber reads its callback pointer without a lock
// on the streaming thread, so neither the callback nor a listener is ever
// taken back from it (SetCallback(NULL) could release one under a sample in
// flight): when the slot is released its observers let go of their own
// references and stop acting on samples, release_slot() forgets the slot's
// callback, and the last references go with the grabber, once the graph has
// stopped and is released.
#pragma once

#include "common/directshow.h"

#include <cstdint>
#include <functional>

namespace vlx {

// Adds `listener` (SampleCB is called, on the graph's streaming thread) to
// the callback of slot `slot`. The grabber's SetCallback is made only while
// the slot has no callback yet, through `install`, which reports the call or
// not as its caller does; its failure is returned and nothing is added.
// A listener stays until the slot's graph is released: the grabber reads its
// callback without a lock on the streaming thread, so a listener is never
// taken back while a sample may be on its way to it.
HRESULT add_grabber_listener(int32_t slot, ISampleGrabberCB* listener,
                             const std::function<HRESULT(ISampleGrabberCB* callback)>& install);

// The slot's graph is being released: its callback (which the grabber keeps
// until it goes) no longer belongs to the slot. Makes no platform call.
void forget_grabber_callback(int32_t slot);

}  // namespace vlx
