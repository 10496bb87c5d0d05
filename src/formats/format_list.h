// vlx_GetFormatList and its size query: every capability of a video
// device's capture pin, one line each, whether or not a slot holds it.
#pragma once

#include <cstdint>

namespace vlx {

int32_t list_formats(char* text, int32_t device_index);
int32_t format_list_size(int32_t device_index);

}  // namespace vlx
