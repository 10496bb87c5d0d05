#include "sound/audio_formats.h"

#include "common/media_type.h"
#include "library/platform_call.h"

#include <mmreg.h>

#include <cstdlib>
#include <tuple>

namespace vlx::sound {

std::optional<AudioFormat> wave_format_of(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) || !type.pbFormat || type.cbFormat < sizeof(WAVEFORMAT) + 2)
        return std::nullopt;
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    return AudioFormat{static_cast<int32_t>(wave->nSamplesPerSec), wave->nChannels, wave->wBitsPerSample};
}

std::vector<AudioCapability> read_audio_capabilities(IAMStreamConfig* config, const CapabilityCalls& calls) {
    std::vector<AudioCapability> capabilities;
    int count = 0, size = 0;
    if (reported_call(calls.count, [&] { return config->GetNumberOfCapabilities(&count, &size); }) != S_OK ||
        size < static_cast<int>(sizeof(AUDIO_STREAM_CONFIG_CAPS)))
        return capabilities;
    std::vector<BYTE> block(static_cast<size_t>(size));
    for (int i = 0; i < count; ++i) {
        MediaTypePtr type;
        // GetStreamCaps answers S_FALSE past the end.
        if (reported_call(calls.stream_caps, [&] { return config->GetStreamCaps(i, type.put(), block.data()); }) != S_OK ||
            !type)
            continue;
        if (const std::optional<AudioFormat> format = wave_format_of(*type.get())) capabilities.push_back({i, *format});
    }
    return capabilities;
}

std::string format_line(const AudioCapability& capability) {
    return std::to_string(capability.index) + " " + std::to_string(capability.format.rate) + " " +
           std::to_string(capability.format.channels) + " " + std::to_string(capability.format.bits);
}

std::optional<AudioCapability> choose_capability(const std::vector<AudioCapability>& capabilities,
                                                 const AudioFormat& wanted, bool nearest) {
    std::optional<AudioCapability> best;
    auto distance = [&](const AudioFormat& f) {
        return std::make_tuple(std::llabs(static_cast<long long>(f.rate) - wanted.rate), std::abs(f.channels - wanted.channels),
                               std::abs(f.bits - wanted.bits));
    };
    for (const AudioCapability& capability : capabilities) {
        if (capability.format == wanted) return capability;
        if (nearest && (!best || distance(capability.format) < distance(best->format))) best = capability;
    }
    return best;
}

int32_t bytes_for_ms(const AudioFormat& format, int32_t duration_ms) {
    const int64_t frame = static_cast<int64_t>(format.channels) * (format.bits / 8);
    const int64_t frames = static_cast<int64_t>(format.rate) * duration_ms / 1000;
    return static_cast<int32_t>(std::max<int64_t>(frames, 1) * std::max<int64_t>(frame, 1));
}

}  // namespace vlx::sound
