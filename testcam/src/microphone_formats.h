// The PCM formats the test microphone's capture pin offers (IAMStreamConfig,
// one AUDIO_STREAM_CONFIG_CAPS each; vidlox_testcam.h lists them).
#pragma once

#include <windows.h>
#include <strmif.h>

#include <cstdint>
#include <optional>
#include <span>

namespace vlxcam {

struct AudioFormat {
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;

    uint32_t block_align() const { return channels * bits / 8u; }
    uint32_t bytes_per_second() const { return rate * block_align(); }
    bool operator==(const AudioFormat&) const = default;
};

// The default first.
std::span<const AudioFormat> microphone_formats();

// A PCM type (FORMAT_WaveFormatEx) for `format`; false when memory runs out.
bool audio_media_type(const AudioFormat& format, AM_MEDIA_TYPE& type);
// The format of a PCM type, when the microphone offers it.
std::optional<AudioFormat> offered_format(const AM_MEDIA_TYPE& type);
// The capabilities block of `format` (one rate, one channel count, one size).
void audio_caps(const AudioFormat& format, AUDIO_STREAM_CONFIG_CAPS& caps);

}  // namespace vlxcam
