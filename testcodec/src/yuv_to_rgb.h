// BT.601 limited-range YUV (top-down, as cameras send it) to bottom-up BGR.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlxcodec {

// `width` even; `bgr` holds `height` rows of output_stride(width) bytes.
void yuy2_to_bottom_up_bgr(const uint8_t* yuy2, LONG width, LONG height, uint8_t* bgr);
// `width` and `height` even.
void nv12_to_bottom_up_bgr(const uint8_t* nv12, LONG width, LONG height, uint8_t* bgr);

}  // namespace vlxcodec
