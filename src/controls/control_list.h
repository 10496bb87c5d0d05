// The active slot's device controls as a text list, and its size query.
#pragma once

#include "controls/control_table.h"
#include "controls/device_controls.h"

#include <cstdint>
#include <functional>

namespace vlx {

// Width of every number after the name: that of -2147483648.
inline constexpr int kControlListNumberWidth = 11;

using ControlVisit = std::function<void(const ControlInfo&, const DeviceControls&, const ControlRange&)>;

// The one walk over the active slot's device controls, behind the list, its
// size and a profile's saving: every control the device has, in id order,
// with its range, each interface asked for once under `calls`. -1 or -2 when
// there is no device to ask (control_codes.h), else 0.
int32_t visit_controls(const ExportContexts& calls, const ControlVisit& visit);

// vlx_GetControlList: appends one line per control the device has; the
// number of lines appended.
int32_t list_controls(char* text);
// vlx_GetControlListSize: the bytes that list needs in an empty buffer.
int32_t control_list_size();

}  // namespace vlx
