// The host's settings for the log and the error message.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

int32_t set_log_level(int32_t level);
int32_t set_log_buffer(char* text, int32_t size);
int32_t set_error_window(HWND window);
int32_t last_error();

}  // namespace vlx
