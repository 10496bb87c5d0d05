#include "bench_support.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vlx_bench {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double now_seconds() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double process_cpu_seconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

double memcpy_seconds(size_t bytes, int repetitions) {
    std::vector<uint8_t> source(bytes, 0x5a), target(bytes);
    std::memcpy(target.data(), source.data(), bytes);  // fault the pages in first
    const double start = now_seconds();
    for (int i = 0; i < repetitions; ++i) {
        source[static_cast<size_t>(i) % bytes] = static_cast<uint8_t>(i);
        std::memcpy(target.data(), source.data(), bytes);
    }
    const double elapsed = now_seconds() - start;
    volatile uint8_t sink = target[bytes / 2];
    (void)sink;
    return elapsed / repetitions;
}

}  // namespace vlx_bench
