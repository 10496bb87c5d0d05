// Which slot publishes on which channel of the shared camera, and the
// exports' bodies. Host thread only, as every capture call.
#pragma once

#include <cstdint>

namespace vlx::sharecam {

// vlx_ShareSlot: the active slot publishes on `channel` (1 .. 4) from now
// on, or stops publishing (0). The codes are the header's.
int32_t share_slot(int32_t channel);

// vlx_GetShareInfo.
int32_t share_info(int32_t channel, int64_t* info);

// Slot `slot`'s graph is being released: its publishing ends before its
// grabber goes (makes no platform call but giving the channel up).
void share_slot_released(int32_t slot);

// The library exits: every channel is given up.
void share_library_exits() noexcept;

// Slot `slot`'s grabber was connected again (a format set on the stopped
// slot): its frames go out in the new connection's size. Its one platform
// call is not reported (an announcement adds no log line).
void share_connection_changed(int32_t slot);

}  // namespace vlx::sharecam
