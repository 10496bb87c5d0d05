// The newest frame drawn onto a device context or copied into host memory.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

int32_t draw_frame(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height);
int32_t frame_memory_size(int32_t mode);
int32_t copy_frame(void* pixels, int32_t* size, void* header);

}  // namespace vlx
