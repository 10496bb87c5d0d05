// The picture as one Motion-JPEG frame, encoded with the platform's JPEG
// encoder (WIC) and sent without Huffman tables, as many cameras send it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vlxcam {

// Encodes `height` top-down BGR rows of `stride` bytes into `out`: the bytes
// written, or 0 when the frame cannot be encoded into `capacity`. Runs on
// the streaming thread; the imaging objects live only for the call, so that
// none outlives that thread's apartment.
size_t encode_mjpg_frame(const uint8_t* bgr, LONG stride, LONG width, LONG height, uint8_t* out, size_t capacity);

}  // namespace vlxcam
