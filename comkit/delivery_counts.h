// What a streaming pin delivered and what it dropped since its stream
// started, for the pin's IAMDroppedFrames. The streaming thread writes, any
// thread reads.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <mutex>

namespace vlxcom {

class DeliveryCounts {
public:
    // A stream starts: everything counts from zero.
    void restart();
    void delivered(LONG bytes);
    // Frames `first` ... `first + count - 1` were never sent: the downstream
    // held the stream up past their time.
    void dropped(uint32_t first, uint32_t count);

    LONG dropped_count() const;
    LONG delivered_count() const;
    LONG average_size() const;
    // The most recent dropped frame numbers, oldest first, at most `capacity`.
    LONG recent_drops(LONG* numbers, LONG capacity) const;

private:
    static constexpr size_t kRemembered = 64;

    mutable std::mutex lock_;
    int64_t dropped_ = 0;
    int64_t delivered_ = 0;
    int64_t bytes_ = 0;
    std::array<uint32_t, kRemembered> recent_{};
    size_t recent_count_ = 0;  // how many of recent_ hold numbers
    size_t recent_next_ = 0;   // where the next one goes
};

}  // namespace vlxcom
