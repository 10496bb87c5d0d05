// The picture in the YUV layouts webcams send: BT.601, limited range, rows
// top-down, each chroma sample the mean of the pixels it covers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlxcam {

// `bgr` holds `height` top-down rows of `stride` bytes; `width` is even.
void bgr_to_yuy2(const uint8_t* bgr, LONG stride, LONG width, LONG height, uint8_t* yuy2);
// `width` and `height` even: a luma plane, then Cb Cr pairs at half height.
void bgr_to_nv12(const uint8_t* bgr, LONG stride, LONG width, LONG height, uint8_t* nv12);

}  // namespace vlxcam
