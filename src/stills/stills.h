// The stills extension (include/vidlox.h, "Extensions: stills"): the still
// pin's sizes, a still on request or from the camera's button, each once,
// taken to the host's buffer or saved as an image file.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

int32_t list_still_formats(char* text, int32_t device_index);
int32_t still_format_list_size(int32_t device_index);
int32_t set_still_size(int32_t width, int32_t height);
int32_t trigger_still();
int32_t wait_still(int32_t timeout_ms);
int32_t take_still(void* pixels, int32_t* size, void* header, int64_t* info);
int32_t save_still(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height);
int32_t set_still_notify(HWND window, UINT message);

}  // namespace vlx
