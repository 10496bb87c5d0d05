// The encoder object: one sink writer and the frame format it was opened for.
#pragma once

#include "common/com_ptr.h"

#include "common/media_foundation.h"

#include <cstdint>

namespace vlx {

struct Encoder {
    int32_t codec = 0;
    ComPtr<IMFSinkWriter> sink_writer;  // null while closed
    DWORD stream_index = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits_per_pixel = 0;
    int32_t row_stride = 0;
    double frame_rate = 0.0;
    int64_t sample_time = 0;     // 100 ns units, next frame's time
    int64_t frame_duration = 0;  // 100 ns units
    bool hardware_transforms = true;

    bool is_open() const { return static_cast<bool>(sink_writer); }
};

// Open: a sink writer for `file_name` with one video stream. 0 or -1 ... -23.
int32_t open_encoder(Encoder& encoder, const wchar_t* file_name, int32_t codec, int32_t width, int32_t height,
                     int32_t bits_per_pixel, double frame_rate, int32_t bit_rate);

// Write: one frame of height x row_stride bytes. 0 or -1 ... -12.
int32_t write_frame(Encoder& encoder, const uint8_t* pixels, bool reverse_rows);

// Finalizes the file and releases the writer; nothing when closed.
void close_encoder(Encoder& encoder);

}  // namespace vlx
