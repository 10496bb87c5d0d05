// Pictures into a sample: a published RGB24 frame scaled (nearest pixel)
// into the connected size and converted to the connected pixel format, and
// the "no signal" picture. Writes exactly format.image_bytes() bytes.
#pragma once

#include "stream_format.h"

#include <cstdint>
#include <vector>

namespace vlxshare::source {

// `source`: a bottom-up RGB24 picture of `width` x `height` with rows of
// `stride` bytes (checked by the transport). `scratch` keeps the scaled RGB
// picture between calls.
void render_frame(const uint8_t* source, int32_t width, int32_t height, uint32_t stride, const StreamFormat& format,
                  uint8_t* out, std::vector<uint8_t>& scratch);

// The "no signal" picture in `format`.
void render_no_signal(const StreamFormat& format, uint8_t* out, std::vector<uint8_t>& scratch);

}  // namespace vlxshare::source
