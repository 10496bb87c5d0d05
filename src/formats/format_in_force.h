// vlx_GetDevFormat: what the active slot's capture pin delivers.
#pragma once

#include <cstdint>

namespace vlx {

int32_t read_format_in_force(char* subtype, int32_t* width, int32_t* height, double* frame_rate);

}  // namespace vlx
