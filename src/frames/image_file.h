// The newest frame as an image file through the Windows Imaging Component:
// the frame, upright and scaled, fed to the container format's encoder.
#pragma once

#include <cstdint>

namespace vlx {

// 0 or a negative code; `file_name` is UTF-16. Width or height 0 or less
// keep the frame's own.
int32_t save_image(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height);

// A picture in the frames' layout (24-bit blue-green-red rows padded to 4
// bytes), whoever holds it: the newest frame, a still.
struct ImagePicture {
    const uint8_t* bits;
    int64_t size;    // bytes delivered at `bits`
    int32_t width;   // biWidth
    int32_t height;  // biHeight: positive bottom-up, negative top-down
};

struct ImageRequest {
    const wchar_t* file_name;
    int32_t format, quality, width, height;
};

// vlx_SaveImage's pipeline from the file step on: 0, or its codes -10 ...
// -33; a file it began and could not finish is removed.
int32_t write_image_file(const ImagePicture& picture, const ImageRequest& request);

}  // namespace vlx
