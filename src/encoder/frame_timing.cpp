#include "encoder/frame_timing.h"

#include <cmath>

namespace vlx {

namespace {

std::optional<int32_t> as_positive_int32(double value) {
    const double truncated = std::trunc(value);
    if (!(truncated >= 1.0 && truncated <= 2147483647.0)) return std::nullopt;
    return static_cast<int32_t>(truncated);
}

}  // namespace

std::optional<FrameTiming> frame_timing(double frame_rate) {
    if (!(frame_rate > 0.0) || !std::isfinite(frame_rate)) return std::nullopt;
    const auto numerator = as_positive_int32(frame_rate * 10000000.0);
    // The reciprocal first, then the scale: 29.97 gives 333667.
    const auto duration = as_positive_int32((1.0 / frame_rate) * 10000000.0);
    if (!numerator || !duration) return std::nullopt;
    return FrameTiming{*numerator, *duration};
}

}  // namespace vlx
