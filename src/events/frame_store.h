// The frames of one tracked slot, between the graph's streaming thread that
// hands them in and the host's thread that takes them.
//
// Four frame buffers: the newest frame, the one the host is copying from,
// the one lent to the host (vlx_LockFrame), and one the next frame is
// written into. Neither side ever waits for the other's copy: the lock
// guards only which buffer plays which part, so the streaming thread is
// never held up by a slow host and the host never reads a buffer that is
// being overwritten. Pixels and stamps of a buffer are
// published together, so whatever the host takes belongs to one frame.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vlx {

// What the library knows of a frame besides its bytes.
struct FrameStamp {
    int64_t number = 0;        // 1 for the first frame tracked, one more for each that arrived
    int64_t sample_time = -1;  // the sample's start time (100 ns, stream time); -1 when it has none
    int64_t arrival = 0;       // when it reached the library, in 100 ns units of the performance counter
    // The grabber connection it came through (FrameTracker::connection()):
    // a frame of an earlier connection does not match today's header.
    uint64_t connection = 0;
};

class FrameStore {
public:
    // ---- the streaming thread ----

    // Numbers a frame that has just arrived: one more than the last.
    int64_t count_arrival();
    // Copies `size` bytes into a buffer the host is not reading and makes it
    // the newest frame. False when no memory could be had for it: the frame
    // still counts as arrived, the newest stays what it was.
    bool publish(const uint8_t* bytes, size_t size, const FrameStamp& stamp);

    // ---- the host's thread ----

    // The number of the newest frame held that came through `connection`
    // (0: none yet, or the newest came through another).
    int64_t newest_number(uint64_t connection) const;

    enum class Outcome { no_frame, sized, too_small, copied };
    struct Taken {
        Outcome outcome = Outcome::no_frame;
        size_t size = 0;  // the newest frame's bytes (sized, too_small, copied)
        FrameStamp stamp;  // copied only
    };
    // The newest frame: with no `destination` only its size; with too small
    // a `capacity` its size and nothing copied; otherwise copied whole. A
    // frame that came through another connection than `connection` counts
    // as none.
    Taken take(void* destination, size_t capacity, uint64_t connection);

    struct Lent {
        const uint8_t* bytes = nullptr;
        size_t size = 0;
        FrameStamp stamp;
    };
    // Lends the newest frame of `connection`: its buffer is neither written
    // nor moved until give_back(). False when there is none, or a frame is
    // lent already.
    bool lend(uint64_t connection, Lent& lent);
    void give_back();

private:
    struct Buffer {
        std::unique_ptr<uint8_t[]> bytes;
        size_t capacity = 0;
        size_t size = 0;
        FrameStamp stamp;
    };
    static constexpr int kNone = -1;

    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::array<Buffer, 4> buffers_;
    // Guarded by lock_: which buffer is the newest frame, which one the host
    // is copying from, which one is lent to it and which one a frame is
    // being written into (kNone: none), and the count of arrivals. The grabber delivers one sample at a
    // time, so one buffer to write into is always free.
    int newest_ = kNone;
    int reading_ = kNone;
    int lent_ = kNone;
    int writing_ = kNone;
    int64_t arrived_ = 0;
};

}  // namespace vlx
