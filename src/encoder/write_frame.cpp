// The write operation: one host frame into one media sample, stamped with the
// next sample time.
#include "encoder/encoder.h"
#include "library/platform_call.h"

namespace vlx {

int32_t write_frame(Encoder& encoder, const uint8_t* pixels, bool reverse_rows) {
    if (!pixels) return -1;
    if (!encoder.is_open()) return -2;
    const auto frame_size = static_cast<DWORD>(encoder.height) * static_cast<DWORD>(encoder.row_stride);

    // Reversed rows are read from the last row upwards with a negative
    // stride: the buffer receives caller row i as row height - 1 - i in the
    // one copy, with no intermediate block.
    const uint8_t* source = pixels;
    LONG source_stride = encoder.row_stride;
    if (reverse_rows) {
        source = pixels + static_cast<size_t>(encoder.height - 1) * static_cast<size_t>(encoder.row_stride);
        source_stride = -encoder.row_stride;
    }

    ComPtr<IMFMediaBuffer> buffer;
    if (FAILED(platform_call("vlx_WriteEncoder.MFCreateMemoryBuffer",
                             [&] { return MFCreateMemoryBuffer(frame_size, buffer.put()); })))
        return -3;
    BYTE* target = nullptr;
    if (FAILED(platform_call("vlx_WriteEncoder.Buffer.Lock", [&] { return buffer->Lock(&target, nullptr, nullptr); })))
        return -4;
    const HRESULT copied = platform_call("vlx_WriteEncoder.MFCopyImage", [&] {
        return MFCopyImage(target, encoder.row_stride, source, source_stride,
                           static_cast<DWORD>(encoder.row_stride), static_cast<DWORD>(encoder.height));
    });
    const HRESULT unlocked = platform_call("vlx_WriteEncoder.Buffer.Unlock", [&] { return buffer->Unlock(); });
    // A failed copy still unlocks the buffer before it is released.
    if (FAILED(copied)) return -5;
    if (FAILED(unlocked)) return -6;
    if (FAILED(platform_call("vlx_WriteEncoder.Buffer.SetCurrentLength",
                             [&] { return buffer->SetCurrentLength(frame_size); })))
        return -7;

    ComPtr<IMFSample> sample;
    if (FAILED(platform_call("vlx_WriteEncoder.MFCreateSample", [&] { return MFCreateSample(sample.put()); })))
        return -8;
    if (FAILED(platform_call("vlx_WriteEncoder.Sample.AddBuffer", [&] { return sample->AddBuffer(buffer.get()); })))
        return -9;
    if (FAILED(platform_call("vlx_WriteEncoder.Sample.SetSampleTime",
                             [&] { return sample->SetSampleTime(encoder.sample_time); })))
        return -10;
    if (FAILED(platform_call("vlx_WriteEncoder.Sample.SetSampleDuration",
                             [&] { return sample->SetSampleDuration(encoder.frame_duration); })))
        return -11;
    if (FAILED(platform_call("vlx_WriteEncoder.SinkWriter.WriteSample", [&] {
            return encoder.sink_writer->WriteSample(encoder.stream_index, sample.get());
        })))
        return -12;
    encoder.sample_time += encoder.frame_duration;
    return 0;
}

}  // namespace vlx
