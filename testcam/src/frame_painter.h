// Paints the camera's picture: corner blocks, moving stripes, the frame
// number cells and, once a second, the flash band, in the layout the public
// header documents.
#pragma once

#include "formats.h"

#include <cstdint>
#include <vector>

namespace vlxcam {

class FramePainter {
public:
    // Prepares the row templates for `format`; call while no frame is painted.
    void configure(const VideoFormat& format);
    // Writes one whole frame (format.image_size() bytes) into `frame`, with
    // `stripe_offset` added to every stripe byte (clamped to 0-255), and the
    // flash band white when `flash`.
    void paint(uint8_t* frame, uint32_t frame_number, int stripe_offset = 0, bool flash = false);

private:
    enum RowKind { kTop, kMiddle, kBottom, kCode, kFlashBand, kRowKinds };

    void build_rows(uint32_t frame_number, int stripe_offset, bool flash);

    VideoFormat format_{};
    std::vector<uint8_t> stripes_;  // one period longer than a row
    std::vector<uint8_t> rows_[kRowKinds];
    std::vector<RowKind> kind_of_memory_row_;
};

}  // namespace vlxcam
