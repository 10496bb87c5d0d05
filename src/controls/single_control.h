// One control of the active slot's device: its range, its value, a new value.
#pragma once

#include "controls/device_controls.h"

#include <cstdint>

namespace vlx {

// vlx_GetControlRange
int32_t control_range(int32_t id, int32_t* minimum, int32_t* maximum, int32_t* step, int32_t* default_value,
                      int32_t* modes);
// vlx_GetControl
int32_t control_value(int32_t id, int32_t* value, int32_t* mode);
// vlx_SetControl: 0 held as asked, 1 accepted but held otherwise.
int32_t set_control(int32_t id, int32_t value, int32_t mode);

// vlx_SetControl past its range read, for every caller that sets a control
// (`range` is the device's, just read): the mode and the value checked
// against it, Set, and the read-back. 0, 1, -7, -8, -10 or -11 as
// vlx_SetControl answers them.
int32_t set_within_range(const DeviceControls& device, LONG property, const ControlRange& range, int32_t value,
                         int32_t mode);

}  // namespace vlx
