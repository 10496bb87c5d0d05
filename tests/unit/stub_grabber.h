// A Sample Grabber stand-in holding one still frame of any layout the tests
// choose (top-down, odd widths, a sample shorter than its header says),
// painted with the test camera's corner colours.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"

#include <cstdint>
#include <vector>

namespace vlx_test {

struct StillFrame {
    int32_t width;
    int32_t height;  // biHeight: negative for top-down rows
    int32_t missing_bytes = 0;  // the sample holds this much less than the picture needs
};

// The corner picture of `frame` as the bytes of a 24-bit DIB, rows padded
// to 4 bytes and in the order biHeight gives.
std::vector<uint8_t> paint_corners(const StillFrame& frame);

// Puts a grabber holding `frame` into the active slot, marked open, for its
// lifetime: GetConnectedMediaType answers an RGB24 VIDEOINFOHEADER type,
// GetCurrentBuffer the painted bytes.
class StillSlot {
public:
    explicit StillSlot(const StillFrame& frame);
    ~StillSlot();
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace vlx_test
