// One control of the active slot's device: its range, its value, a new value.
#pragma once

#include <cstdint>

namespace vlx {

// vlx_GetControlRange
int32_t control_range(int32_t id, int32_t* minimum, int32_t* maximum, int32_t* step, int32_t* default_value,
                      int32_t* modes);
// vlx_GetControl
int32_t control_value(int32_t id, int32_t* value, int32_t* mode);
// vlx_SetControl: 0 held as asked, 1 accepted but held otherwise.
int32_t set_control(int32_t id, int32_t value, int32_t mode);

}  // namespace vlx
