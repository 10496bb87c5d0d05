// One RGB24 frame to one JPEG image, through WIC's JPEG encoder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vlxtp {

// `bits`: a DIB of `width` x |`height`| 24-bit pixels, rows padded to 4 bytes,
// bottom-up when `height` is positive. `quality` 1..100 (see
// vidlox_tp_mjpeg.h for what it changes). Needs COM on the calling thread.
HRESULT encode_jpeg_frame(const uint8_t* bits, int32_t width, int32_t height, int quality, std::vector<uint8_t>& jpeg);

}  // namespace vlxtp
