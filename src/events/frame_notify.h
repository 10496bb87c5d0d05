// Window messages that announce new frames: per slot, the window and message
// the host named with vlx_SetFrameNotify.
//
// At most one announcement per slot waits in the host's queue: a message is
// posted only when the previous one has been retrieved. Retrieval is seen
// through a message hook (WH_GETMESSAGE) on the window's thread, which
// clears the slot's pending mark as the message leaves the queue; each slot
// has its own hook.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

// Host's thread. The thread that owns `window`: 0, or -2 (not a window) or
// -3 (a window of another process, whose queue no hook of ours can watch).
int32_t window_thread(HWND window, DWORD& thread);

// Host's thread. Announces the slot's new frames to `window`, owned by
// `thread`, with `message` from now on, hooking that thread's messages in
// place of the slot's hook before. 0, or -6 when the hook cannot be
// installed (the registration then stays as it was).
int32_t set_frame_notify_target(int32_t slot, HWND window, DWORD thread, UINT message);

// Host's thread: the slot announces nothing any more (its tracking ends).
void clear_frame_notify_target(int32_t slot);

// Graph's streaming thread: posts the slot's message for frame `number`
// (wParam the slot, lParam the number's low 32 bits) unless no window is
// named or the previous announcement is still in the queue.
void announce_frame(int32_t slot, int64_t number) noexcept;

}  // namespace vlx
