// Exports of the shared camera (include/vidlox.h, "Extensions: shared
// camera"): a slot's frames published for any program to open.
#include "vidlox.h"

#include "exports/guarded.h"
#include "sharecam/share_table.h"

using vlx::guarded;

extern "C" {

int32_t vlx_ShareSlot(int32_t channel) { return guarded(-8, [&] { return vlx::sharecam::share_slot(channel); }); }
int32_t vlx_GetShareInfo(int32_t channel, int64_t* info) {
    return guarded(-3, [&] { return vlx::sharecam::share_info(channel, info); });
}

}  // extern "C"
