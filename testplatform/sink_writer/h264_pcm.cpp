#include "h264_pcm.h"

#include <algorithm>

namespace vlxtp {

namespace {

constexpr int kNalSps = 7, kNalPps = 8, kNalIdrSlice = 5;
constexpr int kSliceTypeAllI = 7;
constexpr int kMbTypeIPcm = 25;  // in I slices
constexpr int kLog2MaxFrameNum = 4;

class BitWriter {
public:
    void bits(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) bit((value >> i) & 1u);
    }
    void bit(uint32_t value) {
        if (used_ == 0) bytes_.push_back(0);
        if (value) bytes_.back() |= static_cast<uint8_t>(0x80u >> used_);
        used_ = (used_ + 1) % 8;
    }
    // Exp-Golomb codes ue(v) and se(v).
    void ue(uint32_t value) {
        const uint64_t code = uint64_t{value} + 1;
        int length = 0;
        while ((code >> (length + 1)) != 0) ++length;
        bits(0, length);
        bits(static_cast<uint32_t>(code), length + 1);
    }
    void se(int32_t value) { ue(value > 0 ? 2u * static_cast<uint32_t>(value) - 1 : 2u * static_cast<uint32_t>(-value)); }
    void align_with_zeros() {
        while (used_ != 0) bit(0);
    }
    void byte_run(const uint8_t* data, size_t count) { bytes_.insert(bytes_.end(), data, data + count); }
    void trailing_bits() {
        bit(1);
        align_with_zeros();
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;  // bits used in the last byte
};

// NAL header plus the payload with emulation prevention bytes.
std::vector<uint8_t> nal_unit(int type, const std::vector<uint8_t>& rbsp) {
    std::vector<uint8_t> nal;
    nal.reserve(rbsp.size() + rbsp.size() / 64 + 1);
    nal.push_back(static_cast<uint8_t>((3 << 5) | type));  // nal_ref_idc 3
    int zeros = 0;
    for (uint8_t byte : rbsp) {
        if (zeros == 2 && byte <= 3) {
            nal.push_back(3);
            zeros = 0;
        }
        nal.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return nal;
}

bool has_chroma_format_fields(int profile_idc) { return profile_idc >= 100; }

uint8_t clamp_sample(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

void rgb_to_yuv420(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int bytes_per_pixel,
                   bool bottom_up, Yuv420Picture& picture) {
    picture.width = width;
    picture.height = height;
    picture.padded_width = (width + 15) / 16 * 16;
    picture.padded_height = (height + 15) / 16 * 16;
    const size_t luma = static_cast<size_t>(picture.padded_width) * static_cast<size_t>(picture.padded_height);
    picture.y.assign(luma, 0);
    picture.cb.assign(luma / 4, 0);
    picture.cr.assign(luma / 4, 0);
    // Samples past the visible edge repeat the last row and column.
    auto pixel = [&](int32_t x, int32_t y) {
        x = std::min(x, width - 1);
        y = std::min(y, height - 1);
        const int32_t row = bottom_up ? height - 1 - y : y;
        return bits + static_cast<ptrdiff_t>(row) * stride + static_cast<ptrdiff_t>(x) * bytes_per_pixel;
    };
    for (int32_t y = 0; y < picture.padded_height; ++y) {
        for (int32_t x = 0; x < picture.padded_width; ++x) {
            const uint8_t* p = pixel(x, y);  // blue, green, red
            picture.y[static_cast<size_t>(y) * picture.padded_width + x] =
                clamp_sample(16 + ((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8));
        }
    }
    const int32_t chroma_width = picture.padded_width / 2;
    for (int32_t y = 0; y < picture.padded_height / 2; ++y) {
        for (int32_t x = 0; x < chroma_width; ++x) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const uint8_t* p = pixel(2 * x + dx, 2 * y + dy);
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
            }
            r = (r + 2) / 4;
            g = (g + 2) / 4;
            b = (b + 2) / 4;
            const size_t at = static_cast<size_t>(y) * chroma_width + x;
            picture.cb[at] = clamp_sample(128 + ((-38 * r - 74 * g + 112 * b + 128) >> 8));
            picture.cr[at] = clamp_sample(128 + ((112 * r - 94 * g - 18 * b + 128) >> 8));
        }
    }
}

PcmStream::PcmStream(int profile_idc, int32_t width, int32_t height)
    : profile_(profile_idc), mb_width_((width + 15) / 16), mb_height_((height + 15) / 16) {
    // Level 4 holds 8192 macroblocks a picture (1080p); 5.1 holds 36864.
    level_ = mb_width_ * mb_height_ <= 8192 ? 40 : 51;

    BitWriter sps;
    sps.bits(static_cast<uint32_t>(profile_), 8);
    sps.bits(profile_ == 66 ? 0xC0 : 0x00, 8);  // Baseline: constrained (set0 and set1)
    sps.bits(static_cast<uint32_t>(level_), 8);
    sps.ue(0);  // seq_parameter_set_id
    if (has_chroma_format_fields(profile_)) {
        sps.ue(1);    // chroma_format_idc 4:2:0
        sps.ue(0);    // bit_depth_luma_minus8
        sps.ue(0);    // bit_depth_chroma_minus8
        sps.bit(0);   // qpprime_y_zero_transform_bypass_flag
        sps.bit(0);   // seq_scaling_matrix_present_flag
    }
    sps.ue(kLog2MaxFrameNum - 4);
    sps.ue(2);  // pic_order_cnt_type 2: output order is decoding order
    sps.ue(0);  // max_num_ref_frames: intra only
    sps.bit(0);  // gaps_in_frame_num_value_allowed_flag
    sps.ue(static_cast<uint32_t>(mb_width_ - 1));
    sps.ue(static_cast<uint32_t>(mb_height_ - 1));
    sps.bit(1);  // frame_mbs_only_flag
    sps.bit(1);  // direct_8x8_inference_flag
    const int32_t crop_right = (mb_width_ * 16 - width) / 2, crop_bottom = (mb_height_ * 16 - height) / 2;
    sps.bit(crop_right || crop_bottom ? 1 : 0);
    if (crop_right || crop_bottom) {
        sps.ue(0);
        sps.ue(static_cast<uint32_t>(crop_right));
        sps.ue(0);
        sps.ue(static_cast<uint32_t>(crop_bottom));
    }
    sps.bit(0);  // vui_parameters_present_flag: the container carries the timing
    sps.trailing_bits();
    sps_ = nal_unit(kNalSps, sps.bytes());

    BitWriter pps;
    pps.ue(0);    // pic_parameter_set_id
    pps.ue(0);    // seq_parameter_set_id
    pps.bit(0);   // entropy_coding_mode_flag: CAVLC
    pps.bit(0);   // bottom_field_pic_order_in_frame_present_flag
    pps.ue(0);    // num_slice_groups_minus1
    pps.ue(0);    // num_ref_idx_l0_default_active_minus1
    pps.ue(0);    // num_ref_idx_l1_default_active_minus1
    pps.bit(0);   // weighted_pred_flag
    pps.bits(0, 2);  // weighted_bipred_idc
    pps.se(0);    // pic_init_qp_minus26
    pps.se(0);    // pic_init_qs_minus26
    pps.se(0);    // chroma_qp_index_offset
    pps.bit(1);   // deblocking_filter_control_present_flag
    pps.bit(0);   // constrained_intra_pred_flag
    pps.bit(0);   // redundant_pic_cnt_present_flag
    pps.trailing_bits();
    pps_ = nal_unit(kNalPps, pps.bytes());
}

std::vector<uint8_t> PcmStream::encode(const Yuv420Picture& picture) {
    BitWriter slice;
    slice.ue(0);  // first_mb_in_slice
    slice.ue(kSliceTypeAllI);
    slice.ue(0);  // pic_parameter_set_id
    slice.bits(0, kLog2MaxFrameNum);  // frame_num: every picture is an IDR picture
    slice.ue(idr_pic_id_);
    idr_pic_id_ = (idr_pic_id_ + 1) % 2;
    slice.bit(0);  // no_output_of_prior_pics_flag
    slice.bit(0);  // long_term_reference_flag
    slice.se(0);   // slice_qp_delta
    slice.ue(1);   // disable_deblocking_filter_idc: samples stay as stored

    const int32_t luma_stride = picture.padded_width, chroma_stride = picture.padded_width / 2;
    for (int32_t mb_y = 0; mb_y < mb_height_; ++mb_y) {
        for (int32_t mb_x = 0; mb_x < mb_width_; ++mb_x) {
            slice.ue(kMbTypeIPcm);
            slice.align_with_zeros();  // pcm_alignment_zero_bit
            for (int32_t row = 0; row < 16; ++row)
                slice.byte_run(&picture.y[static_cast<size_t>(mb_y * 16 + row) * luma_stride + mb_x * 16], 16);
            for (const std::vector<uint8_t>* plane : {&picture.cb, &picture.cr})
                for (int32_t row = 0; row < 8; ++row)
                    slice.byte_run(&(*plane)[static_cast<size_t>(mb_y * 8 + row) * chroma_stride + mb_x * 8], 8);
        }
    }
    slice.trailing_bits();
    return nal_unit(kNalIdrSlice, slice.bytes());
}

}  // namespace vlxtp
