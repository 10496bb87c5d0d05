// The frames of one tracked slot, between the graph's streaming thread that
// hands them in and the host's thread that takes them.
//
// Four places for a frame: the newest frame, the one the host is copying
// from, the one lent to the host (vlx_LockFrame), and one the next frame is
// put into. Each holds either the grabber's sample itself (a reference: no
// copy at all) or the library's own copy of its bytes. Samples are held only
// while the allocator they come from has buffers to spare
// (allow_samples()), and never more than one for long: while a lent frame is
// a sample, newer frames are copied, so the camera always keeps all of its
// buffers but one. A sample leaves the store as soon as its place is taken
// by a newer frame or its reading or lending ends.
//
// Neither side ever waits for the other's copy: the lock guards only which
// place holds which frame, so the streaming thread is never held up by a
// slow host and the host never reads a frame that is being overwritten.
// Pixels and stamps of a frame are published together, so whatever the host
// takes belongs to one frame.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"

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
    FrameStore() = default;
    FrameStore(const FrameStore&) = delete;
    FrameStore& operator=(const FrameStore&) = delete;

    // ---- the host's thread ----

    // Samples from `allocator` may be held from now on (null: every frame is
    // copied). Each held sample keeps a reference to it: the allocator frees
    // its buffers only once every sample is back, so a held sample's bytes
    // stay valid after its graph has gone.
    void allow_samples(ComPtr<IMemAllocator> allocator);

    // ---- the streaming thread ----

    // Numbers a frame that has just arrived: one more than the last.
    int64_t count_arrival();
    // Makes `size` bytes at `bytes` (of `sample`, which may be null) the
    // newest frame: the sample itself when samples may be held and none is
    // lent, else a copy into a place the host is not reading. False when no
    // memory could be had for a copy: the frame still counts as arrived, the
    // newest stays what it was.
    bool publish(IMediaSample* sample, const uint8_t* bytes, size_t size, const FrameStamp& stamp);

    // ---- the host's thread ----

    // The number of the newest frame held that came through `connection`
    // (0: none yet, or the newest came through another).
    int64_t newest_number(uint64_t connection) const;
    // Whether the newest frame is a sample held rather than a copy.
    bool newest_is_sample() const;

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
    // Lends the newest frame of `connection`: its bytes are neither written
    // nor moved until give_back(). False when there is none, or a frame is
    // lent already.
    bool lend(uint64_t connection, Lent& lent);
    void give_back();

    // The graph has stopped: a newest frame that is a sample becomes a copy
    // (unless it is lent), so that the allocator has its buffers back for a
    // new connection and the frame stays takeable. Out of memory, it is
    // dropped instead.
    void copy_held_newest();
    // Tracking has ended: every sample but a lent one goes back now.
    void release_unlent();

private:
    struct Place {
        std::unique_ptr<uint8_t[]> copy;  // the library's own bytes, reused from frame to frame
        size_t capacity = 0;
        // The sample itself, and its allocator, which must outlive it (so
        // declared first: members go in reverse order).
        ComPtr<IMemAllocator> allocator;
        ComPtr<IMediaSample> sample;
        const uint8_t* bytes = nullptr;  // copy.get() or the sample's own bytes
        size_t size = 0;
        FrameStamp stamp;
    };
    // A sample leaving its place, released once the lock is let go: its
    // release may wake the camera's streaming thread.
    struct Leaving {
        ComPtr<IMemAllocator> allocator;
        ComPtr<IMediaSample> sample;
    };
    static constexpr int kNone = -1;

    // Under lock_: the sample of place `index` leaves when the place plays
    // no part any more.
    Leaving leave_if_idle(int index);
    bool copy_into(Place& place, const uint8_t* bytes, size_t size);

    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::array<Place, 4> places_;
    // Guarded by lock_: which place is the newest frame, which one the host
    // is copying from, which one is lent to it and which one a frame is
    // being put into (kNone: none), the count of arrivals, and the allocator
    // whose samples may be held. The grabber delivers one sample at a time,
    // so one place to put a frame into is always free.
    int newest_ = kNone;
    int reading_ = kNone;
    int lent_ = kNone;
    int writing_ = kNone;
    int64_t arrived_ = 0;
    ComPtr<IMemAllocator> allocator_;
};

}  // namespace vlx
