#include "frame_painter.h"

#include "vidlox_testcam.h"

#include <algorithm>
#include <cstring>

namespace vlxcam {

namespace {

constexpr int kStripePeriod = 64;
constexpr int kStripeStep = 8;  // pixels the stripes move per frame

struct Bgr {
    uint8_t b, g, r;
};
constexpr Bgr kRed{0, 0, 255};
constexpr Bgr kGreen{0, 255, 0};
constexpr Bgr kBlue{255, 0, 0};
constexpr Bgr kWhite{255, 255, 255};
constexpr Bgr kBlack{0, 0, 0};

void fill(uint8_t* row, LONG from, LONG to, Bgr colour) {
    for (LONG x = from; x < to; ++x) {
        row[x * 3 + 0] = colour.b;
        row[x * 3 + 1] = colour.g;
        row[x * 3 + 2] = colour.r;
    }
}

}  // namespace

void FramePainter::configure(const VideoFormat& format) {
    format_ = format;
    const LONG width = format.width;
    const LONG rows = format.height < 0 ? -format.height : format.height;

    // Grey ramps, never as dark or as bright as the code cells and corners.
    stripes_.assign(static_cast<size_t>(width + kStripePeriod) * 3, 0);
    for (LONG x = 0; x < width + kStripePeriod; ++x) {
        const auto level = static_cast<uint8_t>(40 + 2 * (x % kStripePeriod));
        std::memset(&stripes_[static_cast<size_t>(x) * 3], level, 3);
    }
    for (auto& row : rows_) row.assign(static_cast<size_t>(format.stride()), 0);

    kind_of_memory_row_.resize(static_cast<size_t>(rows));
    const LONG corner = rows / 8;
    for (LONG y = 0; y < rows; ++y) {  // y counts picture rows from the top
        RowKind kind = kMiddle;
        if (y < corner)
            kind = kTop;
        else if (y >= rows - corner)
            kind = kBottom;
        else if (y >= 7 * rows / 16 && y < 9 * rows / 16)
            kind = kCode;
        else if (y >= VLXCAM_FLASH_TOP_SIXTEENTHS * rows / 16 && y < VLXCAM_FLASH_BOTTOM_SIXTEENTHS * rows / 16)
            kind = kFlashBand;
        const LONG memory_row = format.height > 0 ? rows - 1 - y : y;
        kind_of_memory_row_[static_cast<size_t>(memory_row)] = kind;
    }
}

void FramePainter::build_rows(uint32_t frame_number, int stripe_offset, bool flash) {
    const LONG width = format_.width;
    const size_t bytes = static_cast<size_t>(width) * 3;
    const size_t shift = static_cast<size_t>(kStripePeriod - (frame_number * kStripeStep) % kStripePeriod) %
                         kStripePeriod;
    std::memcpy(rows_[kMiddle].data(), &stripes_[shift * 3], bytes);
    if (stripe_offset != 0) {
        for (size_t i = 0; i < bytes; ++i)
            rows_[kMiddle][i] = static_cast<uint8_t>(std::clamp(rows_[kMiddle][i] + stripe_offset, 0, 255));
    }
    for (RowKind kind : {kTop, kBottom, kCode}) std::memcpy(rows_[kind].data(), rows_[kMiddle].data(), bytes);
    if (flash)
        std::memset(rows_[kFlashBand].data(), 0xff, bytes);
    else
        std::memcpy(rows_[kFlashBand].data(), rows_[kMiddle].data(), bytes);

    const LONG corner = width / 8;
    fill(rows_[kTop].data(), 0, corner, kRed);
    fill(rows_[kTop].data(), width - corner, width, kGreen);
    fill(rows_[kBottom].data(), 0, corner, kBlue);
    fill(rows_[kBottom].data(), width - corner, width, kWhite);

    const LONG cell = width / 64;
    for (int i = 0; i < 32; ++i) {
        const bool bit = (frame_number >> (31 - i)) & 1u;
        const LONG left = width / 4 + i * cell;
        fill(rows_[kCode].data(), left, left + cell, bit ? kWhite : kBlack);
    }
}

void FramePainter::paint(uint8_t* frame, uint32_t frame_number, int stripe_offset, bool flash) {
    build_rows(frame_number, stripe_offset, flash);
    const size_t stride = static_cast<size_t>(format_.stride());
    for (size_t row = 0; row < kind_of_memory_row_.size(); ++row) {
        std::memcpy(frame + row * stride, rows_[kind_of_memory_row_[row]].data(), stride);
    }
}

}  // namespace vlxcam
