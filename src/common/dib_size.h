// Sizes of uncompressed DIB frames: every row is padded to whole 32-bit words.
#pragma once

#include <cstdint>

namespace vlx {

constexpr int64_t dib_row_bytes(int64_t width, int64_t bits_per_pixel) {
    return (width * bits_per_pixel + 31) / 32 * 4;
}

}  // namespace vlx
