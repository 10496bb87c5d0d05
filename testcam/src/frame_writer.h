// Writes the camera's picture into a sample in the connection's pixel
// format: RGB24 straight from the painter, the webcam formats from a
// top-down RGB24 picture painted first.
#pragma once

#include "formats.h"
#include "frame_painter.h"

#include <cstdint>
#include <vector>

namespace vlxcam {

class FrameWriter {
public:
    // Prepares for `format`; call while no frame is written.
    void configure(const VideoFormat& format);
    // Writes frame `frame_number` into `out` of `capacity` bytes: the bytes
    // written, or 0 when the frame cannot be written (it is not delivered).
    // `stripe_offset` is added to the stripes and `flash` whitens the flash
    // band (FramePainter::paint).
    LONG write(uint8_t* out, LONG capacity, uint32_t frame_number, int stripe_offset = 0, bool flash = false);

private:
    VideoFormat format_{};
    FramePainter painter_;
    std::vector<uint8_t> picture_;  // top-down RGB24, for the other formats
};

}  // namespace vlxcam
