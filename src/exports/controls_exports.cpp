// The camera control exports (include/vidlox.h, "Extensions: camera controls").
#include "vidlox.h"

#include "controls/control_codes.h"
#include "controls/control_list.h"
#include "controls/single_control.h"
#include "exports/guarded.h"

using vlx::guarded;

extern "C" {

int32_t vlx_GetControlRange(int32_t control, int32_t* minimum, int32_t* maximum, int32_t* step,
                            int32_t* default_value, int32_t* modes) {
    return guarded(vlx::kControlOutOfMemory,
                   [&] { return vlx::control_range(control, minimum, maximum, step, default_value, modes); });
}
int32_t vlx_GetControl(int32_t control, int32_t* value, int32_t* mode) {
    return guarded(vlx::kControlOutOfMemory, [&] { return vlx::control_value(control, value, mode); });
}
int32_t vlx_SetControl(int32_t control, int32_t value, int32_t mode) {
    return guarded(vlx::kControlOutOfMemory, [&] { return vlx::set_control(control, value, mode); });
}
int32_t vlx_GetControlList(char* buffer) {
    return guarded(vlx::kControlOutOfMemory, [&] { return vlx::list_controls(buffer); });
}
int32_t vlx_GetControlListSize(void) {
    return guarded(vlx::kControlOutOfMemory, vlx::control_list_size);
}

}  // extern "C"
