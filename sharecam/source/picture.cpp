#include "picture.h"

#include "sharecam/transport/layout.h"
#include "vidlox_sharecam.h"

#include <cstring>

namespace vlxshare::source {

namespace {

// BT.601, limited range, from 8-bit RGB.
uint8_t luma(int r, int g, int b) { return static_cast<uint8_t>(16 + ((66 * r + 129 * g + 25 * b + 128) >> 8)); }
uint8_t chroma_u(int r, int g, int b) { return static_cast<uint8_t>(128 + ((-38 * r - 74 * g + 112 * b + 128) >> 8)); }
uint8_t chroma_v(int r, int g, int b) { return static_cast<uint8_t>(128 + ((112 * r - 94 * g - 18 * b + 128) >> 8)); }

// Bottom-up RGB24 `source` scaled into bottom-up RGB24 `out` of `format`'s size.
void scale_rgb(const uint8_t* source, int32_t width, int32_t height, uint32_t stride, const StreamFormat& format,
               uint8_t* out) {
    const uint32_t out_stride = transport::rgb24_stride(format.width);
    if (width == format.width && height == format.height) {
        std::memcpy(out, source, static_cast<size_t>(out_stride) * static_cast<size_t>(height));
        return;
    }
    std::vector<int32_t> columns(static_cast<size_t>(format.width));
    for (int32_t x = 0; x < format.width; ++x)
        columns[static_cast<size_t>(x)] = static_cast<int32_t>(static_cast<int64_t>(x) * width / format.width) * 3;
    for (int32_t y = 0; y < format.height; ++y) {
        const int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * height / format.height);
        const uint8_t* row = source + static_cast<size_t>(sy) * stride;
        uint8_t* target = out + static_cast<size_t>(y) * out_stride;
        for (int32_t x = 0; x < format.width; ++x) {
            const uint8_t* pixel = row + columns[static_cast<size_t>(x)];
            target[3 * x] = pixel[0];
            target[3 * x + 1] = pixel[1];
            target[3 * x + 2] = pixel[2];
        }
    }
}

// The pixel at upright (x, y) of a bottom-up RGB24 picture, as r, g, b.
struct Rgb {
    int r, g, b;
};
Rgb upright_pixel(const uint8_t* rgb, uint32_t stride, int32_t height, int32_t x, int32_t y) {
    const uint8_t* p = rgb + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
    return Rgb{p[2], p[1], p[0]};
}

void to_yuy2(const uint8_t* rgb, const StreamFormat& format, uint8_t* out) {
    const uint32_t stride = transport::rgb24_stride(format.width);
    for (int32_t y = 0; y < format.height; ++y) {
        uint8_t* row = out + static_cast<size_t>(y) * static_cast<size_t>(format.width) * 2;
        for (int32_t x = 0; x < format.width; x += 2) {
            const Rgb a = upright_pixel(rgb, stride, format.height, x, y);
            const Rgb b = upright_pixel(rgb, stride, format.height, x + 1, y);
            const int r = (a.r + b.r + 1) / 2, g = (a.g + b.g + 1) / 2, bl = (a.b + b.b + 1) / 2;
            row[2 * x] = luma(a.r, a.g, a.b);
            row[2 * x + 1] = chroma_u(r, g, bl);
            row[2 * x + 2] = luma(b.r, b.g, b.b);
            row[2 * x + 3] = chroma_v(r, g, bl);
        }
    }
}

void to_nv12(const uint8_t* rgb, const StreamFormat& format, uint8_t* out) {
    const uint32_t stride = transport::rgb24_stride(format.width);
    const size_t w = static_cast<size_t>(format.width);
    uint8_t* chroma = out + w * static_cast<size_t>(format.height);
    for (int32_t y = 0; y < format.height; ++y)
        for (int32_t x = 0; x < format.width; ++x) {
            const Rgb p = upright_pixel(rgb, stride, format.height, x, y);
            out[static_cast<size_t>(y) * w + static_cast<size_t>(x)] = luma(p.r, p.g, p.b);
        }
    for (int32_t y = 0; y < format.height; y += 2) {
        uint8_t* row = chroma + static_cast<size_t>(y / 2) * w;
        for (int32_t x = 0; x < format.width; x += 2) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const Rgb p = upright_pixel(rgb, stride, format.height, x + dx, y + dy);
                    r += p.r;
                    g += p.g;
                    b += p.b;
                }
            r = (r + 2) / 4;
            g = (g + 2) / 4;
            b = (b + 2) / 4;
            row[x] = chroma_u(r, g, b);
            row[x + 1] = chroma_v(r, g, b);
        }
    }
}

void convert(const uint8_t* rgb, const StreamFormat& format, uint8_t* out) {
    if (format.pixels == PixelFormat::yuy2) to_yuy2(rgb, format, out);
    if (format.pixels == PixelFormat::nv12) to_nv12(rgb, format, out);
}

}  // namespace

void render_frame(const uint8_t* source, int32_t width, int32_t height, uint32_t stride, const StreamFormat& format,
                  uint8_t* out, std::vector<uint8_t>& scratch) {
    if (format.pixels == PixelFormat::rgb24) {
        scale_rgb(source, width, height, stride, format, out);
        return;
    }
    const size_t rgb_bytes = static_cast<size_t>(transport::rgb24_stride(format.width)) * static_cast<size_t>(format.height);
    if (scratch.size() < rgb_bytes) scratch.resize(rgb_bytes);
    scale_rgb(source, width, height, stride, format, scratch.data());
    convert(scratch.data(), format, out);
}

void render_no_signal(const StreamFormat& format, uint8_t* out, std::vector<uint8_t>& scratch) {
    const uint32_t stride = transport::rgb24_stride(format.width);
    const size_t rgb_bytes = static_cast<size_t>(stride) * static_cast<size_t>(format.height);
    if (scratch.size() < rgb_bytes) scratch.resize(rgb_bytes);
    uint8_t* rgb = format.pixels == PixelFormat::rgb24 ? out : scratch.data();
    std::memset(rgb, 0, rgb_bytes);
    for (int32_t y = 0; y < format.height; ++y) {
        uint8_t* row = rgb + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < format.width; ++x) {
            row[3 * x] = VLXSHARE_NO_SIGNAL_B;
            row[3 * x + 1] = VLXSHARE_NO_SIGNAL_G;
            row[3 * x + 2] = VLXSHARE_NO_SIGNAL_R;
        }
    }
    convert(rgb, format, out);
}

}  // namespace vlxshare::source
