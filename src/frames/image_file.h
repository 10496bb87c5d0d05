// The newest frame as an image file through the Windows Imaging Component:
// the frame, upright and scaled, fed to the container format's encoder.
#pragma once

#include <cstdint>

namespace vlx {

// 0 or a negative code; `file_name` is UTF-16. Width or height 0 or less
// keep the frame's own.
int32_t save_image(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height);

}  // namespace vlx
