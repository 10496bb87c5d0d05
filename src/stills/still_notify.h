// The window message of a slot's stills (vlx_SetStillNotify): posted for
// every still as it arrives, wParam the slot and lParam its source. Stills
// come seldom, so each is told (unlike frames, whose messages coalesce).
#pragma once

#include "stills/still_store.h"

#include <windows.h>

#include <cstdint>

namespace vlx {

// Host's thread: `slot`'s stills go to `window` with `message` (null: to
// nobody).
void set_still_notify_target(int32_t slot, HWND window, UINT message);

// A streaming thread: posts the slot's message for `stamp`, if one is set.
void announce_still(int32_t slot, const StillStamp& stamp) noexcept;

}  // namespace vlx
