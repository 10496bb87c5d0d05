#include "still_painter.h"

#include <cstring>

namespace vlxcam {

namespace {

struct Bgr {
    uint8_t b, g, r;
};
constexpr Bgr kMagenta{255, 0, 255};
constexpr Bgr kCyan{255, 255, 0};
constexpr Bgr kYellow{0, 255, 255};
constexpr Bgr kGrey{96, 96, 96};
constexpr Bgr kWhite{255, 255, 255};
constexpr Bgr kBlack{0, 0, 0};

void fill(std::vector<uint8_t>& row, LONG from, LONG to, Bgr colour) {
    for (LONG x = from; x < to; ++x) {
        row[static_cast<size_t>(x) * 3 + 0] = colour.b;
        row[static_cast<size_t>(x) * 3 + 1] = colour.g;
        row[static_cast<size_t>(x) * 3 + 2] = colour.r;
    }
}

}  // namespace

void StillPainter::configure(const VideoFormat& format) {
    format_ = format;
    const LONG width = format.width;
    const LONG rows = format.height < 0 ? -format.height : format.height;
    for (auto& row : rows_) row.assign(static_cast<size_t>(format.stride()), 0);
    fill(rows_[kMark], 0, width, kMagenta);
    for (RowKind kind : {kMiddle, kCode, kSource}) fill(rows_[kind], 0, width, kGrey);

    kind_of_memory_row_.resize(static_cast<size_t>(rows));
    const LONG band = rows / 8;
    for (LONG y = 0; y < rows; ++y) {  // y counts picture rows from the top
        RowKind kind = kMiddle;
        if (y < band)
            kind = kMark;
        else if (y >= rows - band)
            kind = kSource;
        else if (y >= 7 * rows / 16 && y < 9 * rows / 16)
            kind = kCode;
        const LONG memory_row = format.height > 0 ? rows - 1 - y : y;
        kind_of_memory_row_[static_cast<size_t>(memory_row)] = kind;
    }
}

void StillPainter::paint(uint8_t* still, uint32_t number, StillSource source) {
    const LONG width = format_.width;
    fill(rows_[kSource], 0, width, source == StillSource::button ? kYellow : kCyan);
    // The cells of the frame number's layout, so that the header's frame
    // number reader reads the still's number.
    const LONG cell = width / 64;
    for (int i = 0; i < 32; ++i) {
        const bool bit = (number >> (31 - i)) & 1u;
        const LONG left = width / 4 + i * cell;
        fill(rows_[kCode], left, left + cell, bit ? kWhite : kBlack);
    }
    const size_t stride = static_cast<size_t>(format_.stride());
    for (size_t row = 0; row < kind_of_memory_row_.size(); ++row)
        std::memcpy(still + row * stride, rows_[kind_of_memory_row_[row]].data(), stride);
}

}  // namespace vlxcam
