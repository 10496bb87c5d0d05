// Exported functions of the sound extension: an audio device recorded with
// the picture and blocks of PCM with their times for the host (sound/).
#include "vidlox.h"

#include "exports/guarded.h"
#include "sound/sound.h"

using vlx::guarded;

extern "C" {

int32_t vlx_SetAudioDevice(int32_t audio_index) {
    return guarded(-1, [&] { return vlx::sound::set_audio_device(audio_index); });
}
int32_t vlx_SetAudioDevicePath(const char* path) {
    return guarded(-3, [&] { return vlx::sound::set_audio_device_path(path); });
}
int32_t vlx_GetAudioFormatList(char* buffer, int32_t audio_index) {
    return guarded(-12, [&] { return vlx::sound::list_audio_formats(buffer, audio_index); });
}
int32_t vlx_GetAudioFormatListSize(int32_t audio_index) {
    return guarded(-12, [&] { return vlx::sound::audio_format_list_size(audio_index); });
}
int32_t vlx_SetAudioFormat(int32_t rate, int32_t channels, int32_t bits) {
    return guarded(-6, [&] { return vlx::sound::set_audio_format(rate, channels, bits); });
}
int32_t vlx_GetAudioFormat(int32_t* rate, int32_t* channels, int32_t* bits) {
    return guarded(-11, [&] { return vlx::sound::get_audio_format(rate, channels, bits); });
}
int32_t vlx_WaitAudio(int32_t timeout_ms) { return guarded(-11, [&] { return vlx::sound::wait_audio(timeout_ms); }); }
int32_t vlx_GetAudio(void* pcm, int32_t* size, int64_t* info) {
    return guarded(-11, [&] { return vlx::sound::take_audio(pcm, size, info); });
}
int32_t vlx_SetAudioNotify(HWND window, uint32_t message) {
    return guarded(-11, [&] { return vlx::sound::set_audio_notify(window, message); });
}

}  // extern "C"
