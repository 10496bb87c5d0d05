// The publisher's end of a channel: claims it (one publisher per channel in
// the session), writes each frame into the ring and wakes the readers. It
// never waits for a reader: a frame goes into the next ring slot whoever may
// still be copying the one there (the reader's sequence check notices).
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
    int64_t readers = 0;           // registered readers whose process runs
    int64_t published = 0;         // frames the present publisher wrote
    int64_t slowest_skipped = 0;   // most frames any of those readers skipped
    int64_t publisher_pid = 0;     // 0: none, or its process is gone
};

// How opening for publishing ended.
enum class ClaimResult { claimed, taken, failed };

class ChannelWriter {
public:
    ChannelWriter() = default;
    ~ChannelWriter() { close(); }
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;

    // Opens (or makes) the channel's mapping and claims it for this process.
    // `taken`: a running process other than ours publishes there. `failed`:
    // the mapping could not be made or mapped (error() tells the Win32 code).
    ClaimResult open(int32_t channel);
    // Gives the channel up (readers show "no signal") and unmaps it.
    void close();
    bool is_open() const { return view_.is_open(); }
    DWORD error() const { return error_; }

    // One frame; false (nothing written) when its shape is not one the
    // ring carries. Thread-safe against close().
    bool write(const FrameFacts& facts, const uint8_t* pixels);

private:
    void signal_readers(ChannelHeader& header);
    void close_events();

    SRWLOCK lock_ = SRWLOCK_INIT;
    int32_t channel_ = 0;
    ChannelView view_;
    DWORD error_ = 0;
    struct ReaderEvent {
        LONG pid = 0;
        HANDLE event = nullptr;
    };
    ReaderEvent events_[kReaderSlots];
};

// A snapshot of channel `channel` as any process sees it (no mapping yet:
// all zero). False when it has no mapping or none of our layout.
bool read_channel_info(int32_t channel, ChannelInfo& info);
ChannelInfo channel_info(const ChannelView& view);

}  // namespace vlxshare::transport
