// The frame-event calls on the active slot: waiting for a frame the host has
// not taken, taking the newest frame with its number and times, and having
// new frames announced to a window. Each starts the slot's frame tracking
// when it is the first of them there.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

int32_t wait_frame(int32_t timeout_ms);
int32_t take_frame(void* pixels, int32_t* size, void* header, int64_t* info);
int32_t set_frame_notify(HWND window, uint32_t message);
// Lends the host the newest frame until unlock_frame(); the slot's lent
// frame outlives its tracking.
int32_t lock_frame(const void** pixels, int32_t* size, void* header, int64_t* info);
int32_t unlock_frame();
// Whether the active slot's tracking holds the grabber's samples or copies
// its frames (VLX_FRAMES_*).
int32_t frame_holding();

}  // namespace vlx
