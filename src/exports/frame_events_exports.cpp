// Exported functions of the frame events: every frame once, with its number
// and times, and the frames the host missed (events/).
#include "vidlox.h"

#include "events/frame_events.h"
#include "exports/guarded.h"

using vlx::guarded;

extern "C" {

int32_t vlx_WaitFrame(int32_t timeout_ms) { return guarded(-10, [&] { return vlx::wait_frame(timeout_ms); }); }
int32_t vlx_GetFrame(void* pixels, int32_t* size, void* header, int64_t* info) {
    return guarded(-10, [&] { return vlx::take_frame(pixels, size, header, info); });
}
int32_t vlx_SetFrameNotify(HWND window, uint32_t message) {
    return guarded(-10, [&] { return vlx::set_frame_notify(window, message); });
}
int32_t vlx_LockFrame(const void** pixels, int32_t* size, void* header, int64_t* info) {
    return guarded(-10, [&] { return vlx::lock_frame(pixels, size, header, info); });
}
int32_t vlx_UnlockFrame(void) { return guarded(-1, vlx::unlock_frame); }
int32_t vlx_GetFrameHolding(void) { return guarded(-1, vlx::frame_holding); }

}  // extern "C"
