#include "devices/frame_tap.h"

#include <new>

namespace vlx::health {

FrameTap* FrameTap::create() noexcept { return new (std::nothrow) FrameTap(); }

// The sample is the grabber's: no reference is kept, and nothing here calls
// back into the graph, whose streaming thread this is.
STDMETHODIMP FrameTap::SampleCB(double, IMediaSample*) {
    note_arrival();
    return S_OK;
}

void FrameTap::note_arrival() noexcept {
    // The time first: a reader that sees the new count sees its time too.
    last_arrival_ms_.store(GetTickCount64(), std::memory_order_release);
    frames_.fetch_add(1, std::memory_order_release);
}

}  // namespace vlx::health
