// The open operation: a sink writer for the file, one compressed video
// stream from the codec table and the uncompressed RGB input that the host's
// frames have.
#include "common/dib_size.h"
#include "encoder/codec_table.h"
#include "encoder/encoder.h"
#include "encoder/frame_timing.h"
#include "encoder/sink_writer_factory.h"
#include "library/platform_call.h"


#include <limits>

namespace vlx {

namespace {

constexpr UINT32 kProgressive = 2;  // MFVideoInterlace_Progressive
constexpr UINT64 kSquarePixels = (UINT64{1} << 32) | 1;

UINT64 packed(uint32_t high, uint32_t low) { return (UINT64{high} << 32) | low; }

// Row stride and frame size in 32 bits, or none when they do not fit.
bool frame_geometry(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t* stride) {
    if (int64_t{width} * bits_per_pixel + 31 > std::numeric_limits<int32_t>::max()) return false;
    const int64_t row_stride = dib_row_bytes(width, bits_per_pixel);
    if (row_stride * height > std::numeric_limits<int32_t>::max()) return false;
    *stride = static_cast<int32_t>(row_stride);
    return true;
}

struct StreamFormat {
    UINT64 frame_size;
    UINT64 frame_rate;
};

// One attribute set on a media type; `code` is returned when it fails.
template <class Call>
int32_t set(StepName step, int32_t code, Call&& call) {
    return FAILED(platform_call(step, std::forward<Call>(call))) ? code : 0;
}

int32_t declare_output(Encoder& encoder, const StreamFormat& format, const CodecChoice& choice, int32_t bit_rate) {
    ComPtr<IMFMediaType> output;
    if (FAILED(platform_call("vlx_OpenEncoder.MFCreateMediaType(output)",
                             [&] { return MFCreateMediaType(output.put()); })))
        return -5;
    IMFMediaType* t = output.get();
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetUINT64(MF_MT_FRAME_SIZE)", -6,
                             [&] { return t->SetUINT64(MF_MT_FRAME_SIZE, format.frame_size); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetUINT64(MF_MT_FRAME_RATE)", -7,
                             [&] { return t->SetUINT64(MF_MT_FRAME_RATE, format.frame_rate); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetUINT64(MF_MT_PIXEL_ASPECT_RATIO)", -8,
                             [&] { return t->SetUINT64(MF_MT_PIXEL_ASPECT_RATIO, kSquarePixels); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetGUID(MF_MT_MAJOR_TYPE)", -9,
                             [&] { return t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetGUID(MF_MT_SUBTYPE)", -10,
                             [&] { return t->SetGUID(MF_MT_SUBTYPE, choice.subtype); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetUINT32(MF_MT_AVG_BITRATE)", -11,
                             [&] { return t->SetUINT32(MF_MT_AVG_BITRATE, static_cast<UINT32>(bit_rate)); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetUINT32(MF_MT_INTERLACE_MODE)", -12,
                             [&] { return t->SetUINT32(MF_MT_INTERLACE_MODE, kProgressive); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Output.SetCodecAttribute", -13, [&] {
            return choice.asf_container ? t->SetGUID(MF_TRANSCODE_CONTAINERTYPE, MFTranscodeContainerType_ASF)
                                        : t->SetUINT32(MF_MT_MPEG2_PROFILE, choice.profile);
        }))
        return failed;
    if (FAILED(platform_call("vlx_OpenEncoder.SinkWriter.AddStream",
                             [&] { return encoder.sink_writer->AddStream(t, &encoder.stream_index); })))
        return -14;
    return 0;
}

int32_t declare_input(Encoder& encoder, const StreamFormat& format) {
    ComPtr<IMFMediaType> input;
    if (FAILED(platform_call("vlx_OpenEncoder.MFCreateMediaType(input)",
                             [&] { return MFCreateMediaType(input.put()); })))
        return -15;
    IMFMediaType* t = input.get();
    const GUID subtype = encoder.bits_per_pixel == 24 ? MFVideoFormat_RGB24 : MFVideoFormat_RGB32;
    if (int32_t failed = set("vlx_OpenEncoder.Input.SetUINT64(MF_MT_FRAME_SIZE)", -16,
                             [&] { return t->SetUINT64(MF_MT_FRAME_SIZE, format.frame_size); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Input.SetUINT64(MF_MT_FRAME_RATE)", -17,
                             [&] { return t->SetUINT64(MF_MT_FRAME_RATE, format.frame_rate); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Input.SetUINT64(MF_MT_PIXEL_ASPECT_RATIO)", -18,
                             [&] { return t->SetUINT64(MF_MT_PIXEL_ASPECT_RATIO, kSquarePixels); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Input.SetGUID(MF_MT_MAJOR_TYPE)", -19,
                             [&] { return t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Input.SetGUID(MF_MT_SUBTYPE)", -20,
                             [&] { return t->SetGUID(MF_MT_SUBTYPE, subtype); }))
        return failed;
    if (int32_t failed = set("vlx_OpenEncoder.Input.SetUINT32(MF_MT_INTERLACE_MODE)", -21,
                             [&] { return t->SetUINT32(MF_MT_INTERLACE_MODE, kProgressive); }))
        return failed;
    if (FAILED(platform_call("vlx_OpenEncoder.SinkWriter.SetInputMediaType",
                             [&] { return encoder.sink_writer->SetInputMediaType(encoder.stream_index, t, nullptr); })))
        return -22;
    return 0;
}

HRESULT create_writer(Encoder& encoder, const wchar_t* file_name) {
    // Without an attribute store the writer is created without the request
    // for hardware encoders.
    ComPtr<IMFAttributes> attributes;
    if (encoder.hardware_transforms &&
        SUCCEEDED(platform_call("vlx_OpenEncoder.MFCreateAttributes", [&] { return MFCreateAttributes(attributes.put(), 10); }))) {
        attributes->SetUINT32(MF_READWRITE_ENABLE_HARDWARE_TRANSFORMS, 1);
    }
    return platform_call("vlx_OpenEncoder.MFCreateSinkWriterFromURL", [&] {
        return create_sink_writer(file_name, attributes.get(), encoder.sink_writer.put());
    });
}

}  // namespace

int32_t open_encoder(Encoder& encoder, const wchar_t* file_name, int32_t codec, int32_t width, int32_t height,
                     int32_t bits_per_pixel, double frame_rate, int32_t bit_rate) {
    if (!file_name || !*file_name) return -1;
    if (width <= 0 || height <= 0 || bits_per_pixel <= 0) return -2;
    if (encoder.is_open()) return -3;
    // Only 24- and 32-bit frames match an input subtype, and the frame must
    // be addressable in 32 bits.
    int32_t row_stride = 0;
    if ((bits_per_pixel != 24 && bits_per_pixel != 32) ||
        !frame_geometry(width, height, bits_per_pixel, &row_stride))
        return -2;
    const std::optional<FrameTiming> timing = frame_timing(frame_rate);
    if (!timing) return -7;
    const std::optional<CodecChoice> choice = codec_choice(codec);
    if (!choice) return -10;

    encoder.height = height;
    encoder.width = width;
    encoder.bits_per_pixel = bits_per_pixel;
    encoder.sample_time = 0;
    encoder.codec = codec;
    encoder.frame_rate = frame_rate;
    encoder.row_stride = row_stride;
    encoder.frame_duration = timing->frame_duration;

    if (FAILED(create_writer(encoder, file_name))) {
        encoder.sink_writer.reset();
        return -4;
    }
    const StreamFormat format{packed(static_cast<uint32_t>(width), static_cast<uint32_t>(height)),
                              packed(static_cast<uint32_t>(timing->rate_numerator), kRateDenominator)};
    int32_t failed = declare_output(encoder, format, *choice, bit_rate);
    if (!failed) failed = declare_input(encoder, format);
    if (!failed && FAILED(platform_call("vlx_OpenEncoder.SinkWriter.BeginWriting",
                                        [&] { return encoder.sink_writer->BeginWriting(); })))
        failed = -23;
    // A failed open leaves the encoder closed, its media types already released.
    if (failed) encoder.sink_writer.reset();
    return failed;
}

void close_encoder(Encoder& encoder) {
    if (!encoder.is_open()) return;
    platform_call("vlx_CloseEncoder.SinkWriter.Finalize", [&] { return encoder.sink_writer->Finalize(); });
    encoder.sink_writer.reset();
}

}  // namespace vlx
