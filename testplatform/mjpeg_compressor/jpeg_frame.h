// One RGB24 frame to one JPEG image, through WIC's JPEG encoder.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vlxtp {

// A DIB of 24-bit pixels: `rows` rows of `width` pixels, each `stride`
// bytes (padded to 4), the lowest row first when `bottom_up`.
struct Rgb24Frame {
    const uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t rows = 0;
    size_t stride = 0;
    bool bottom_up = true;
};

// `quality` 1..100 (see vidlox_tp_mjpeg.h for what it changes). Needs COM
// on the calling thread.
HRESULT encode_jpeg_frame(const Rgb24Frame& frame, int quality, std::vector<uint8_t>& jpeg);

}  // namespace vlxtp
