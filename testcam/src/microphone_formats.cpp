#include "microphone_formats.h"

#include "vidlox_testcam.h"

#include <dshow.h>
#include <mmreg.h>
#include <objbase.h>

namespace vlxcam {

namespace {

constexpr AudioFormat kFormats[] = {
    {VLXCAM_MICROPHONE_RATE, VLXCAM_MICROPHONE_CHANNELS, VLXCAM_MICROPHONE_BITS},
    {48000, 1, 16},
    {44100, 2, 16},
    {44100, 1, 16},
    {48000, 2, 24},
    {16000, 1, 16},
    {8000, 1, 8},
};

}  // namespace

std::span<const AudioFormat> microphone_formats() { return kFormats; }

bool audio_media_type(const AudioFormat& format, AM_MEDIA_TYPE& type) {
    auto* wave = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (!wave) return false;
    *wave = WAVEFORMATEX{};
    wave->wFormatTag = WAVE_FORMAT_PCM;
    wave->nChannels = format.channels;
    wave->nSamplesPerSec = format.rate;
    wave->wBitsPerSample = format.bits;
    wave->nBlockAlign = static_cast<WORD>(format.block_align());
    wave->nAvgBytesPerSec = format.bytes_per_second();
    type = AM_MEDIA_TYPE{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = wave->nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof(WAVEFORMATEX);
    type.pbFormat = reinterpret_cast<BYTE*>(wave);
    return true;
}

std::optional<AudioFormat> offered_format(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Audio) || !IsEqualGUID(type.subtype, MEDIASUBTYPE_PCM) ||
        !IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) || !type.pbFormat || type.cbFormat < sizeof(WAVEFORMAT) + 2)
        return std::nullopt;
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    if (wave->wFormatTag != WAVE_FORMAT_PCM) return std::nullopt;
    const AudioFormat asked{wave->nSamplesPerSec, wave->nChannels, wave->wBitsPerSample};
    if (wave->nBlockAlign != asked.block_align() || wave->nAvgBytesPerSec != asked.bytes_per_second())
        return std::nullopt;
    for (const AudioFormat& format : kFormats) {
        if (format == asked) return format;
    }
    return std::nullopt;
}

void audio_caps(const AudioFormat& format, AUDIO_STREAM_CONFIG_CAPS& caps) {
    caps = AUDIO_STREAM_CONFIG_CAPS{};
    caps.guid = MEDIATYPE_Audio;
    caps.MinimumChannels = caps.MaximumChannels = format.channels;
    caps.ChannelsGranularity = 1;
    caps.MinimumBitsPerSample = caps.MaximumBitsPerSample = format.bits;
    caps.BitsPerSampleGranularity = 8;
    caps.MinimumSampleFrequency = caps.MaximumSampleFrequency = format.rate;
    caps.SampleFrequencyGranularity = 1;
}

}  // namespace vlxcam
