#include "progress.h"

#include "report.h"

#include <cstdio>

namespace tool {

namespace {
constexpr ULONGLONG print_interval_ms = 250;
}

Progress::Progress(const char* what) : what_(what) {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
}

double Progress::elapsed_seconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency_.QuadPart);
}

void Progress::show(int64_t frames, int64_t dropped) {
    const ULONGLONG now = GetTickCount64();
    if (now - last_print_ < print_interval_ms) return;
    last_print_ = now;
    print(frames, dropped);
}

void Progress::finish(int64_t frames, int64_t dropped) {
    print(frames, dropped);
    std::fputc('\n', stderr);
}

void Progress::print(int64_t frames, int64_t dropped) {
    if (log_pending()) {
        // The log's lines go below the progress line, which then starts anew.
        std::fputc('\n', stderr);
        flush_log();
    }
    std::fprintf(stderr, "\r%s %6.1f s  %lld frames", what_, elapsed_seconds(), static_cast<long long>(frames));
    if (dropped >= 0) std::fprintf(stderr, "  %lld dropped", static_cast<long long>(dropped));
    std::fputs("   ", stderr);
    std::fflush(stderr);
}

void DropCounter::saw(uint32_t frame_number) {
    if (!first_ && frame_number > last_ + 1) dropped_ += frame_number - last_ - 1;
    if (first_ || frame_number > last_) last_ = frame_number;
    first_ = false;
}

}  // namespace tool
