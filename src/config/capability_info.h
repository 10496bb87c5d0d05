// One value of the capture pin's first capability.
#pragma once

#include <cstdint>

namespace vlx {

// Capability 0 cannot be read, or carries no whole VIDEOINFOHEADER.
inline constexpr int32_t kCapabilityUnreadable = -6;

// vlx_GetCapInfo: item 0 width, 1 height, 2 bit rate, 3 bit error rate,
// 4 AvgTimePerFrame (low 32 bits), 5 biCompression; 0 for any other item.
int32_t capability_info(int32_t item);

}  // namespace vlx
