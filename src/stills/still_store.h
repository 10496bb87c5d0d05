// The stills of one open slot, between the streaming thread that hands them
// in and the host's thread that takes them, each once and in the order they
// came.
//
// A few still buffers, each with its own picture header: a still keeps the
// size and layout it was taken with, whatever the slot's capture does after.
// The lock guards only which buffer plays which part (free, being written,
// waiting, lent to the host), so neither thread copies a 25 MB picture while
// the other waits for it. When every buffer waits, a new still takes the
// place of the oldest one waiting: the host sees the gap in the numbers.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vlx {

// What the library knows of a still besides its bytes (vlx_GetStill's info).
struct StillStamp {
    int64_t number = 0;        // 1 for the first still of the slot's graph
    int64_t sample_time = -1;  // the sample's start time (100 ns, stream time); -1 none
    int64_t arrival = 0;       // 100 ns units of the performance counter
    int32_t source = 0;        // VLX_STILL_FROM_*
};

class StillStore {
public:
    // ---- the streaming thread ----
    // Copies a still in. False when no memory could be had for it.
    bool put(const uint8_t* bytes, size_t size, const BITMAPINFOHEADER& header, const StillStamp& stamp);

    // ---- the host's thread ----
    bool holds_still() const;

    struct Lent {
        const uint8_t* bytes = nullptr;
        size_t size = 0;
        BITMAPINFOHEADER header{};
        StillStamp stamp;
    };
    // Lends the oldest still waiting; its buffer is neither written nor
    // replaced until give_back(). False when none waits (or one is lent).
    bool lend(Lent& lent);
    // `taken`: the still is the host's now and goes; otherwise it waits again
    // in its place.
    void give_back(bool taken);

private:
    enum class Role { free, writing, waiting, lent };
    struct Buffer {
        std::unique_ptr<uint8_t[]> bytes;
        size_t capacity = 0;
        size_t size = 0;
        BITMAPINFOHEADER header{};
        StillStamp stamp;
        Role role = Role::free;
    };
    static constexpr int kNone = -1;
    // The waiting buffer with the lowest number (lock held), or kNone.
    int oldest_waiting() const;

    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::array<Buffer, 3> buffers_;
};

}  // namespace vlx
