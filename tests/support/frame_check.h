// Reading the test camera's picture back from frame bytes: corner colours
// and the frame number.
#pragma once

#include <cstdint>
#include <string>

namespace vlx_test {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The pixel at upright picture position (x, y) of a 24-bit DIB whose
// biHeight is `height` (positive: bottom-up).
Rgb pixel_at(const uint8_t* bits, int32_t width, int32_t height, int32_t x, int32_t y);

// Empty when the four corner blocks have the camera's colours, else a
// description of the first wrong corner. A `tolerance` above 0 (for frames
// that went through YUV or JPEG) allows that much per channel and looks at
// the middle of each block only, away from edges that chroma subsampling
// and JPEG blur.
std::string corner_problem(const uint8_t* bits, int32_t width, int32_t height, int tolerance = 0);

uint32_t frame_number(const uint8_t* bits, int32_t width, int32_t height);

}  // namespace vlx_test
