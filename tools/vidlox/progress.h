// Long work shows itself on one line of stderr that is rewritten in place:
// elapsed seconds, frames, and dropped frames where they can be counted.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tool {

class Progress {
public:
    explicit Progress(const char* what);
    // Rewrites the line at most a few times a second; `dropped` < 0: unknown.
    void show(int64_t frames, int64_t dropped);
    // The final state, then a line break.
    void finish(int64_t frames, int64_t dropped);
    double elapsed_seconds() const;

private:
    void print(int64_t frames, int64_t dropped);

    const char* what_;
    LARGE_INTEGER start_{};
    LARGE_INTEGER frequency_{};
    ULONGLONG last_print_ = 0;
};

// Counts the test camera's frames that a series of grabs did not see.
class DropCounter {
public:
    void saw(uint32_t frame_number);
    int64_t dropped() const { return dropped_; }

private:
    bool first_ = true;
    uint32_t last_ = 0;
    int64_t dropped_ = 0;
};

}  // namespace tool
