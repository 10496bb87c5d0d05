// The performance counter in 100 ns units: the clock of a frame's arrival,
// which frame events stamp and the shared camera carries to its readers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

inline constexpr int64_t kHundredNanosecondsPerSecond = 10'000'000;

// `ticks` of a counter running at `frequency` per second, in 100 ns units,
// without overflowing over the counter's whole range.
constexpr int64_t counter_in_100ns(int64_t ticks, int64_t frequency) {
    return ticks / frequency * kHundredNanosecondsPerSecond +
           ticks % frequency * kHundredNanosecondsPerSecond / frequency;
}

// The counter's frequency is read once (QueryPerformanceFrequency never
// fails since Windows XP).
class PerformanceClock {
public:
    PerformanceClock() noexcept {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        frequency_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    }
    int64_t frequency() const noexcept { return frequency_; }
    // Now, in 100 ns units.
    int64_t now() const noexcept {
        LARGE_INTEGER ticks{};
        QueryPerformanceCounter(&ticks);
        return counter_in_100ns(ticks.QuadPart, frequency_);
    }

private:
    int64_t frequency_ = 1;
};

}  // namespace vlx
