// The shared-camera channel as it lies in memory: one named file mapping per
// channel in the session's namespace, written by one publisher and read by
// any number of readers in other processes. Everything here is plain data of
// fixed size and offset: a reader trusts none of it (a damaged or hostile
// mapping is possible) and checks every value before it uses it.
#pragma once

#include "common/dib_size.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vlxshare::transport {

inline constexpr uint32_t kMagic = 0x53584C56;  // "VLXS"
inline constexpr uint32_t kLayoutVersion = 2;
inline constexpr uint32_t kRingFrames = 4;      // a reader may lag by up to three frames
inline constexpr uint32_t kReaderSlots = 16;

// The one pixel format carried: what the library's Sample Grabber delivers,
// a bottom-up 24-bit DIB with rows padded to 4 bytes.
inline constexpr uint32_t kFormatRgb24 = 24;

// A ring slot holds the bytes of a 3840 x 2160 RGB24 frame, in any shape
// whose rows fit them (2160 x 3840 too), sides up to kMaxSide.
constexpr uint32_t rgb24_stride(int32_t width) { return static_cast<uint32_t>(vlx::dib_row_bytes(width, 24)); }
inline constexpr uint64_t kFrameCapacity = static_cast<uint64_t>(rgb24_stride(3840)) * 2160;
inline constexpr int32_t kMaxSide = 8192;

// A process of the channel, told apart from a later process with the same
// id by its start (its creation time, FILETIME units). `who` is the
// publisher's process id, or a reader's (process id << 32 | its number in
// that process); 0: nobody. Both halves change together, with one 128-bit
// compare-and-swap.
struct alignas(16) Identity {
    volatile LONG64 who;
    volatile LONG64 started;
};

// A reader's registration; a reader whose process ended without freeing it
// is found out by its identity, and its slot taken over by the next reader
// that registers.
struct ReaderSlot {
    Identity owner;
    volatile LONG64 taken;    // frames the reader copied out
    volatile LONG64 skipped;  // frames it fell too far behind to copy
};

// What the publisher says of its frames (ChannelHeader::publisher_state).
inline constexpr LONG kPublishing = 0;
inline constexpr LONG kFramesNotCarried = 1;  // their shape is not one the ring carries: nothing goes out

// One frame of the ring. `sequence` is the seqlock: odd while the publisher
// writes the frame, 2 * n once frame n (counted from 1) is complete. A reader
// copies, then checks that the sequence did not move.
struct FrameRecord {
    volatile LONG64 sequence;
    int64_t frame_number;    // the publisher's own count, from 1
    int64_t sample_time;     // the sample's start time on the publisher's graph, 100 ns; -1 none
    int64_t arrival;         // its arrival in the publisher, 100 ns of QueryPerformanceCounter
    int64_t frame_interval;  // 100 ns per frame at the publisher's rate; 0 unknown
    uint32_t format;         // kFormatRgb24
    int32_t width;
    int32_t height;  // positive: bottom-up
    uint32_t stride;
    uint32_t bytes;
    uint32_t reserved;
};

struct ChannelHeader {
    volatile LONG magic;  // kMagic once the layout below is written
    uint32_t version;
    uint32_t header_bytes;  // sizeof(ChannelHeader)
    uint32_t ring_frames;
    uint64_t frame_capacity;
    uint64_t data_offset;  // where frame 0's pixels begin
    volatile LONG publisher_state;  // kPublishing, kFramesNotCarried
    volatile LONG reserved;
    Identity publisher;           // who 0: no publisher
    // The present claim's number (they rise); a publisher writes only while
    // the number is its own.
    volatile LONG64 claim;
    // n of the newest complete frame; 0 none yet. It keeps rising from one
    // publisher to the next, and so do the sequences: a reader copying a
    // frame of one claim never passes it against a frame of the next.
    volatile LONG64 published;
    volatile LONG64 publisher_frames;  // frames the present publisher wrote
    ReaderSlot readers[kReaderSlots];
    FrameRecord frames[kRingFrames];
};

static_assert(offsetof(ChannelHeader, publisher) % 16 == 0 && offsetof(ChannelHeader, readers) % 16 == 0 &&
              sizeof(ReaderSlot) % 16 == 0);

inline constexpr uint64_t kDataOffset = (sizeof(ChannelHeader) + 4095) / 4096 * 4096;
inline constexpr uint64_t kMappingBytes = kDataOffset + kFrameCapacity * kRingFrames;

}  // namespace vlxshare::transport
