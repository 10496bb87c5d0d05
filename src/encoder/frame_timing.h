// The frame rate arithmetic of the encoder, checked for what 32 bits hold.
#pragma once

#include <cstdint>
#include <optional>

namespace vlx {

struct FrameTiming {
    int32_t rate_numerator;   // trunc(rate x 10^7), over a denominator of 10^7
    int32_t frame_duration;   // trunc((1 / rate) x 10^7), 100 ns units
};

// None for a rate that is not positive, not finite, or whose numerator or
// frame duration would leave the range 1 ... 2^31 - 1.
std::optional<FrameTiming> frame_timing(double frame_rate);

inline constexpr uint32_t kRateDenominator = 10000000;

}  // namespace vlx
