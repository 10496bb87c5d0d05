#include "frame_writer.h"

#include "jpeg_encoding.h"
#include "yuv_encoding.h"

namespace vlxcam {

void FrameWriter::configure(const VideoFormat& format) {
    format_ = format;
    if (format.fourcc == BI_RGB) {
        painter_.configure(format);
        picture_.clear();
        return;
    }
    const VideoFormat top_down{format.width, -format.height, format.frame_interval};
    painter_.configure(top_down);
    picture_.resize(top_down.image_size());
}

LONG FrameWriter::write(uint8_t* out, LONG capacity, uint32_t frame_number, int stripe_offset, bool flash) {
    const auto size = static_cast<LONG>(format_.image_size());
    if (format_.fourcc == BI_RGB) {
        if (capacity < size) return 0;
        painter_.paint(out, frame_number, stripe_offset, flash);
        return size;
    }
    painter_.paint(picture_.data(), frame_number, stripe_offset, flash);
    const LONG stride = format_.stride();
    switch (format_.fourcc) {
    case kFourccMjpg:
        return static_cast<LONG>(encode_mjpg_frame(picture_.data(), stride, format_.width, format_.height, out,
                                                   static_cast<size_t>(capacity)));
    case kFourccNv12:
        if (capacity < size) return 0;
        bgr_to_nv12(picture_.data(), stride, format_.width, format_.height, out);
        return size;
    default:  // YUY2, and the undecodable format's YUY2 bytes
        if (capacity < size) return 0;
        bgr_to_yuy2(picture_.data(), stride, format_.width, format_.height, out);
        return size;
    }
}

}  // namespace vlxcam
