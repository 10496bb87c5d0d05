// A valid H.264 stream without an encoder: every picture is an IDR picture
// whose macroblocks are all I_PCM, the samples stored as they are (CAVLC,
// 4:2:0, 8 bits, BT.601 limited range). Decoders show the picture exactly
// as converted; only the bit rate is unlike a real encoder's.
#pragma once

#include <cstdint>
#include <vector>

namespace vlxtp {

// An upright 4:2:0 picture: planes of (16-aligned) width x height luma
// samples and half that in each direction for Cb and Cr.
struct Yuv420Picture {
    int32_t width = 0, height = 0;                 // visible size
    int32_t padded_width = 0, padded_height = 0;  // multiples of 16
    std::vector<uint8_t> y, cb, cr;
};

// `bits`: `height` rows of `stride` bytes, 3 (BGR) or 4 (BGRX) bytes per
// pixel; `bottom_up` when the first row in memory is the lowest one.
void rgb_to_yuv420(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int bytes_per_pixel,
                   bool bottom_up, Yuv420Picture& picture);

class PcmStream {
public:
    // `profile_idc` 66, 77 or 100; width and height even.
    PcmStream(int profile_idc, int32_t width, int32_t height);

    // NAL units without start codes or length prefixes.
    const std::vector<uint8_t>& sps() const { return sps_; }
    const std::vector<uint8_t>& pps() const { return pps_; }
    int profile() const { return profile_; }
    int level() const { return level_; }

    // One coded picture: a single IDR slice NAL unit.
    std::vector<uint8_t> encode(const Yuv420Picture& picture);

private:
    int profile_;
    int level_;
    int32_t mb_width_, mb_height_;
    uint32_t idr_pic_id_ = 0;  // consecutive IDR pictures must differ
    std::vector<uint8_t> sps_, pps_;
};

}  // namespace vlxtp
