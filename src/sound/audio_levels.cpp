#include "sound/audio_levels.h"

#include "vidlox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vlx::sound {

namespace {

// One sample as a fraction of full scale, -1 .. 1.
double sample_at(const uint8_t* p, int32_t bytes) {
    switch (bytes) {
    case 1:
        return (static_cast<int32_t>(p[0]) - 128) / 128.0;
    case 2:
        return static_cast<int16_t>(p[0] | p[1] << 8) / 32768.0;
    case 3: {
        const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                                   static_cast<uint32_t>(p[2]) << 24) >> 8;
        return value / 8388608.0;
    }
    default: {
        const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                                   static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
        return value / 2147483648.0;
    }
    }
}

}  // namespace

void measure_levels(const uint8_t* bytes, size_t size, const AudioFormat& format, ChannelLevel* levels,
                    int32_t channels_wanted) {
    for (int32_t c = 0; c < channels_wanted; ++c) levels[c] = ChannelLevel{};
    const int32_t width = format.bits / 8;
    if (width < 1 || width > 4 || format.channels < 1) return;
    const size_t frame = static_cast<size_t>(width) * static_cast<size_t>(format.channels);
    const size_t frames = size / frame;
    if (frames == 0) return;
    const int32_t measured = std::min(channels_wanted, format.channels);
    for (int32_t c = 0; c < measured; ++c) {
        double peak = 0, squares = 0;
        for (size_t i = 0; i < frames; ++i) {
            const double value = sample_at(bytes + i * frame + static_cast<size_t>(c * width), width);
            peak = std::max(peak, std::fabs(value));
            squares += value * value;
        }
        const double rms = std::sqrt(squares / static_cast<double>(frames));
        levels[c].peak = std::llround(std::min(peak, 1.0) * VLX_AUDIO_FULL_SCALE);
        levels[c].rms = std::llround(std::min(rms, 1.0) * VLX_AUDIO_FULL_SCALE);
    }
}

}  // namespace vlx::sound
