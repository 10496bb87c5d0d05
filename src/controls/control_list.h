// The active slot's device controls as a text list, and its size query.
#pragma once

#include <cstdint>

namespace vlx {

// Width of every number after the name: that of -2147483648.
inline constexpr int kControlListNumberWidth = 11;

// vlx_GetControlList: appends one line per control the device has; the
// number of lines appended.
int32_t list_controls(char* text);
// vlx_GetControlListSize: the bytes that list needs in an empty buffer.
int32_t control_list_size();

}  // namespace vlx
