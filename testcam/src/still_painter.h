// Paints the still pin's pictures: not the capture picture but one of their
// own, which a reader tells from any capture frame, with the still's number
// where a frame has its number and the still's source in its bottom band
// (the layout and its readers are in the public header).
#pragma once

#include "formats.h"

#include <cstdint>
#include <vector>

namespace vlxcam {

enum class StillSource { trigger, button };

class StillPainter {
public:
    // Prepares the row templates for `format` (RGB24); call while no still
    // is painted. May throw std::bad_alloc.
    void configure(const VideoFormat& format);
    // Writes one whole still (format.image_size() bytes) into `still`.
    void paint(uint8_t* still, uint32_t number, StillSource source);

private:
    enum RowKind { kMark, kMiddle, kCode, kSource, kRowKinds };

    VideoFormat format_{};
    std::vector<uint8_t> rows_[kRowKinds];
    std::vector<RowKind> kind_of_memory_row_;
};

}  // namespace vlxcam
