// The level of a block of PCM, per channel: its peak and its RMS, in
// ten-thousandths of full scale (the meter every recording tool shows).
#pragma once

#include "sound/audio_formats.h"

#include <cstddef>
#include <cstdint>

namespace vlx::sound {

struct ChannelLevel {
    int64_t peak = 0;
    int64_t rms = 0;
};

// Levels of channels 0 .. `channels_wanted` - 1 of `bytes` (whole sample
// frames of `format`: 8-bit unsigned, or 16, 24 or 32-bit signed PCM); a
// channel the block does not have reads 0.
void measure_levels(const uint8_t* bytes, size_t size, const AudioFormat& format, ChannelLevel* levels,
                    int32_t channels_wanted);

}  // namespace vlx::sound
