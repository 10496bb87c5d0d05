#include "yuv_encoding.h"

#include <cstddef>
#include <cstring>

namespace vlxcam {

namespace {

// Fixed-point BT.601 weights (8 fractional bits), limited range.
uint8_t luma(const uint8_t* bgr) { return static_cast<uint8_t>(((66 * bgr[2] + 129 * bgr[1] + 25 * bgr[0] + 128) >> 8) + 16); }

// Cb and Cr of the sums of `1 << extra_bits` pixels.
void chroma(int red, int green, int blue, int extra_bits, uint8_t* cb, uint8_t* cr) {
    const int shift = 8 + extra_bits;
    const int half = 1 << (shift - 1);
    *cb = static_cast<uint8_t>(((-38 * red - 74 * green + 112 * blue + half) >> shift) + 128);
    *cr = static_cast<uint8_t>(((112 * red - 94 * green - 18 * blue + half) >> shift) + 128);
}

const uint8_t* row_of(const uint8_t* bgr, LONG stride, LONG row) { return bgr + static_cast<size_t>(row) * stride; }

// The picture repeats whole rows; a row like the one above it is copied
// rather than converted again, which keeps the camera cheap.
bool same_rows(const uint8_t* bgr, LONG stride, LONG width, LONG row, LONG earlier) {
    return earlier >= 0 && std::memcmp(row_of(bgr, stride, row), row_of(bgr, stride, earlier), static_cast<size_t>(width) * 3) == 0;
}

}  // namespace

void bgr_to_yuy2(const uint8_t* bgr, LONG stride, LONG width, LONG height, uint8_t* yuy2) {
    const size_t out_stride = static_cast<size_t>(width) * 2;
    for (LONG row = 0; row < height; ++row) {
        uint8_t* out = yuy2 + static_cast<size_t>(row) * out_stride;
        if (same_rows(bgr, stride, width, row, row - 1)) {
            std::memcpy(out, out - out_stride, out_stride);
            continue;
        }
        const uint8_t* in = row_of(bgr, stride, row);
        for (LONG x = 0; x < width; x += 2, in += 6, out += 4) {
            out[0] = luma(in);
            out[2] = luma(in + 3);
            chroma(in[2] + in[5], in[1] + in[4], in[0] + in[3], 1, &out[1], &out[3]);
        }
    }
}

void bgr_to_nv12(const uint8_t* bgr, LONG stride, LONG width, LONG height, uint8_t* nv12) {
    const size_t w = static_cast<size_t>(width);
    for (LONG row = 0; row < height; ++row) {
        uint8_t* out = nv12 + static_cast<size_t>(row) * w;
        if (same_rows(bgr, stride, width, row, row - 1)) {
            std::memcpy(out, out - w, w);
            continue;
        }
        const uint8_t* in = row_of(bgr, stride, row);
        for (LONG x = 0; x < width; ++x, in += 3) out[x] = luma(in);
    }
    uint8_t* chroma_plane = nv12 + w * static_cast<size_t>(height);
    for (LONG pair = 0; pair < height / 2; ++pair) {
        uint8_t* out = chroma_plane + static_cast<size_t>(pair) * w;
        const LONG top = pair * 2;
        if (same_rows(bgr, stride, width, top, top - 2) && same_rows(bgr, stride, width, top + 1, top - 1)) {
            std::memcpy(out, out - w, w);
            continue;
        }
        const uint8_t* upper = row_of(bgr, stride, top);
        const uint8_t* lower = row_of(bgr, stride, top + 1);
        for (LONG x = 0; x < width; x += 2, upper += 6, lower += 6, out += 2) {
            chroma(upper[2] + upper[5] + lower[2] + lower[5], upper[1] + upper[4] + lower[1] + lower[4],
                   upper[0] + upper[3] + lower[0] + lower[3], 2, &out[0], &out[1]);
        }
    }
}

}  // namespace vlxcam
