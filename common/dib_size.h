// Sizes of uncompressed DIB frames: every row is padded to whole 32-bit words.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace vlx {

constexpr int64_t dib_row_bytes(int64_t width, int64_t bits_per_pixel) {
    return (width * bits_per_pixel + 31) / 32 * 4;
}

// Bytes of `rows` rows of `width` pixels, when that is a size 32 bits can
// state; none for a negative width or row count, or a larger frame. Row
// bytes and rows each fit in 64 bits, their product need not: the range is
// checked before multiplying.
constexpr std::optional<uint32_t> dib_frame_bytes(int64_t width, int64_t bits_per_pixel, int64_t rows) {
    constexpr int64_t kLargest = std::numeric_limits<uint32_t>::max();
    const int64_t row = dib_row_bytes(width, bits_per_pixel);
    if (width < 0 || bits_per_pixel < 0 || rows < 0) return std::nullopt;
    if (rows != 0 && row > kLargest / rows) return std::nullopt;
    return static_cast<uint32_t>(row * rows);
}

}  // namespace vlx
