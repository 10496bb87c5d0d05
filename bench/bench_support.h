// Small measuring helpers shared by the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vlx_bench {

double now_seconds();
// User plus kernel time of this process, in seconds.
double process_cpu_seconds();
// The middle value of `values` (the upper one of an even count).
double median(std::vector<double> values);
// Seconds per copy of `bytes` bytes with memcpy, the floor of any frame copy.
double memcpy_seconds(size_t bytes, int repetitions);

}  // namespace vlx_bench
