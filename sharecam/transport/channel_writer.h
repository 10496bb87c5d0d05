// The publisher's end of a channel: claims it (one publisher per channel in
// the session), writes each frame into the ring and wakes the readers. It
// never waits for a reader: a frame goes into the next ring slot whoever may
// still be copying the one there (the reader's sequence check notices).
//
// The claim is the channel's named mutex, held by the claiming thread (the
// host's) until close(): nobody else can claim the channel meanwhile, and a
// publisher whose process ended leaves it abandoned, which the next claim
// takes, however the process ids were reused since. Each claim is numbered
// in the header, and a publisher writes only while the number is its own.
#pragma once

#include "sharecam/transport/channel_mapping.h"
#include "sharecam/transport/layout.h"

#include <windows.h>

#include <cstdint>

namespace vlxshare::transport {

struct FrameFacts {
    int64_t sample_time = -1;  // 100 ns on the publisher's graph; -1 none
    int64_t arrival = 0;       // 100 ns of QueryPerformanceCounter
    int64_t frame_interval = 0;
    int32_t width = 0;
    int32_t height = 0;  // positive: bottom-up
    uint32_t stride = 0;
    uint32_t bytes = 0;
};

// What a host shows about a channel.
struct ChannelInfo {
    int64_t readers = 0;          // registered readers whose process runs
    int64_t published = 0;        // frames the present publisher wrote
    int64_t slowest_skipped = 0;  // most frames any of those readers skipped
    int64_t publisher_pid = 0;    // 0: none, or its process is gone
    bool frames_not_carried = false;  // the publisher's frames are of a shape the ring does not carry
};

// How opening for publishing ended.
enum class ClaimResult {
    claimed,
    taken,    // another thread or process holds the claim
    foreign,  // a name of the channel is another principal's object (kForeignObject)
    failed,   // an object could not be made or mapped: error() tells the Win32 code
};

class ChannelWriter {
public:
    ChannelWriter() = default;
    ~ChannelWriter() { close(); }
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;

    // Claims the channel and opens (or makes) its mapping. On the thread
    // that will call close().
    ClaimResult open(int32_t channel);
    // Gives the channel up (readers show "no signal") and unmaps it.
    void close();
    bool is_open() const { return view_.is_open(); }
    DWORD error() const { return error_; }

    // One frame. False, with nothing written, when the claim is no longer
    // ours or the frame's shape is not one the ring carries (which the
    // header then says, for vlx_GetShareInfo). Thread-safe against close().
    bool write(const FrameFacts& facts, const uint8_t* pixels);
    // Frames of this shape are coming: the header says whether the ring
    // carries them before the first one arrives.
    void announce_shape(int32_t width, int32_t height);

private:
    // The header while the claim is ours, else null.
    ChannelHeader* claimed_header() const;
    void set_state(ChannelHeader& header, LONG state);
    void signal_readers(ChannelHeader& header);
    void close_events();

    SRWLOCK lock_ = SRWLOCK_INIT;
    int32_t channel_ = 0;
    HANDLE claim_lock_ = nullptr;  // the channel's mutex, owned while claimed
    int64_t claim_ = 0;
    ChannelView view_;
    DWORD error_ = 0;
    struct ReaderEvent {
        int64_t who = 0;
        HANDLE event = nullptr;
    };
    ReaderEvent events_[kReaderSlots];
};

// A snapshot of channel `channel` as any process sees it (no mapping yet:
// all zero). False when it has no mapping or none of our layout.
bool read_channel_info(int32_t channel, ChannelInfo& info);
ChannelInfo channel_info(const ChannelView& view);

}  // namespace vlxshare::transport
