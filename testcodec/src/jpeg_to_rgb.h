// One Motion-JPEG frame to bottom-up BGR, through the platform's JPEG
// decoder (WIC).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vlxcodec {

class JpegDecoder {
public:
    // Decodes `size` bytes into `height` bottom-up rows of `width` pixels.
    // The picture must have exactly that size. Runs on the source's
    // streaming thread; the imaging objects live only for the call, so that
    // none outlives the apartment it was made in.
    HRESULT decode(const uint8_t* jpeg, size_t size, LONG width, LONG height, uint8_t* bgr);

private:
    std::vector<uint8_t> completed_;  // a frame with the Huffman tables put in
    std::vector<uint8_t> top_down_;
};

}  // namespace vlxcodec
