#include "support/frame_check.h"

#include "vidlox_testcam.h"

#include <cstdio>
#include <cstdlib>

namespace vlx_test {

Rgb pixel_at(const uint8_t* bits, int32_t width, int32_t height, int32_t x, int32_t y) {
    const int32_t rows = std::abs(height);
    const int32_t stride = ((width * 24 + 31) / 32) * 4;
    const int32_t memory_row = height > 0 ? rows - 1 - y : y;
    const uint8_t* p = bits + static_cast<size_t>(memory_row) * stride + static_cast<size_t>(x) * 3;
    return {p[2], p[1], p[0]};
}

std::string corner_problem(const uint8_t* bits, int32_t width, int32_t height, int tolerance) {
    const int32_t rows = std::abs(height);
    struct Corner {
        const char* name;
        int32_t x, y;
        Rgb expected;
        bool edge = false;
    };
    // Sample the inner edge of each corner block as well as its middle.
    const int32_t cw = width / 8, ch = rows / 8;
    const Corner corners[] = {
        {"top-left red", cw / 2, ch / 2, {255, 0, 0}},
        {"top-left red (inner edge)", cw - 1, ch - 1, {255, 0, 0}, true},
        {"top-right green", width - cw / 2, ch / 2, {0, 255, 0}},
        {"bottom-left blue", cw / 2, rows - ch / 2, {0, 0, 255}},
        {"bottom-right white", width - cw / 2, rows - ch / 2, {255, 255, 255}},
        {"bottom-right white (inner edge)", width - cw, rows - ch, {255, 255, 255}, true},
    };
    auto close_to = [tolerance](uint8_t got, uint8_t expected) { return std::abs(got - expected) <= tolerance; };
    for (const Corner& c : corners) {
        if (tolerance > 0 && c.edge) continue;
        const Rgb got = pixel_at(bits, width, height, c.x, c.y);
        const Rgb& want = c.expected;
        if (!close_to(got.r, want.r) || !close_to(got.g, want.g) || !close_to(got.b, want.b)) {
            char text[160];
            std::snprintf(text, sizeof text, "%s at (%d,%d) is (%u,%u,%u)", c.name, c.x, c.y, got.r, got.g, got.b);
            return text;
        }
    }
    return {};
}

uint32_t frame_number(const uint8_t* bits, int32_t width, int32_t height) {
    return vlxcam_read_frame_number(bits, width, height);
}

}  // namespace vlx_test
