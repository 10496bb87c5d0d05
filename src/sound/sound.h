// The sound extension's exported functions (include/vidlox.h, "Extensions:
// sound"), and what vlx_Init subscribes.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx::sound {

int32_t set_audio_device(int32_t audio_index);
int32_t set_audio_device_path(const char* path);
int32_t list_audio_formats(char* text, int32_t audio_index);
int32_t audio_format_list_size(int32_t audio_index);
int32_t set_audio_format(int32_t rate, int32_t channels, int32_t bits);
int32_t get_audio_format(int32_t* rate, int32_t* channels, int32_t* bits);
int32_t wait_audio(int32_t timeout_ms);
int32_t take_audio(void* pcm, int32_t* size, int64_t* info);
int32_t set_audio_notify(HWND window, uint32_t message);

// graph/'s audio branch and the slots' releases; vlx_Init does it.
void subscribe_sound();

}  // namespace vlx::sound
