// The newest frame as a Windows bitmap file, written without an encoder: the
// 14-byte file header, the connected BITMAPINFOHEADER and the frame's bytes
// exactly as the Sample Grabber holds them.
#pragma once

#include <cstdint>

namespace vlx {

// 0 or a negative code; `file_name` is in the ANSI code page.
int32_t save_bmp(const char* file_name);

}  // namespace vlx
