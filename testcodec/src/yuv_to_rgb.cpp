#include "yuv_to_rgb.h"

#include "codec_formats.h"

#include <cstddef>

namespace vlxcodec {

namespace {

// Fixed-point BT.601, limited range: 298/256 = 255/219 for luma; 409, 100,
// 208 and 516 over 256 are the chroma weights scaled by 255/224.
struct Chroma {
    int red, green, blue;  // per-pair offsets, 8 fractional bits
};

Chroma chroma_of(int cb, int cr) {
    const int d = cb - 128, e = cr - 128;
    return {409 * e, -100 * d - 208 * e, 516 * d};
}

uint8_t clamp_byte(int value) {
    value >>= 8;
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

void put_pixel(uint8_t* bgr, int y, const Chroma& c) {
    const int luma = 298 * (y - 16) + 128;
    bgr[0] = clamp_byte(luma + c.blue);
    bgr[1] = clamp_byte(luma + c.green);
    bgr[2] = clamp_byte(luma + c.red);
}

uint8_t* bottom_up_row(uint8_t* bgr, LONG width, LONG height, LONG top_down_row) {
    return bgr + static_cast<size_t>(height - 1 - top_down_row) * output_stride(width);
}

}  // namespace

void yuy2_to_bottom_up_bgr(const uint8_t* yuy2, LONG width, LONG height, uint8_t* bgr) {
    for (LONG row = 0; row < height; ++row) {
        const uint8_t* in = yuy2 + static_cast<size_t>(row) * static_cast<size_t>(width) * 2;
        uint8_t* out = bottom_up_row(bgr, width, height, row);
        for (LONG x = 0; x < width; x += 2, in += 4, out += 6) {
            const Chroma c = chroma_of(in[1], in[3]);
            put_pixel(out, in[0], c);
            put_pixel(out + 3, in[2], c);
        }
    }
}

void nv12_to_bottom_up_bgr(const uint8_t* nv12, LONG width, LONG height, uint8_t* bgr) {
    const size_t w = static_cast<size_t>(width);
    const uint8_t* chroma_plane = nv12 + w * static_cast<size_t>(height);
    for (LONG row = 0; row < height; ++row) {
        const uint8_t* luma = nv12 + static_cast<size_t>(row) * w;
        const uint8_t* chroma = chroma_plane + static_cast<size_t>(row / 2) * w;
        uint8_t* out = bottom_up_row(bgr, width, height, row);
        for (LONG x = 0; x < width; x += 2, luma += 2, chroma += 2, out += 6) {
            const Chroma c = chroma_of(chroma[0], chroma[1]);
            put_pixel(out, luma[0], c);
            put_pixel(out + 3, luma[1], c);
        }
    }
}

}  // namespace vlxcodec
