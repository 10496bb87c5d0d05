// The capture pin's usable capabilities as three parallel text lists (frame
// rates, widths, heights) and their size query.
#pragma once

#include <cstdint>

namespace vlx {

// vlx_GetDevCapConfig: appends one line per usable capability to each list.
int32_t list_capabilities(char* rates, char* widths, char* heights);
// vlx_GetDevCapConfigSize: the bytes list `list` (0 rates, 1 widths, 2
// heights) needs in an empty buffer, terminator included.
int32_t capability_list_size(int32_t list);

}  // namespace vlx
