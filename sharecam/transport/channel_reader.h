// A reader's end of a channel: registers in a reader slot under an identity
// of its own (its process and its number there, so that two readers of one
// process never share a slot), with an event the publisher sets for each
// frame; copies frames out of the ring in order and checks each copy against
// its sequence. A reader that falls more than the ring behind skips to the
// newest frame and counts what it skipped. Anything in the mapping that is
// not as it must be reads as "no signal", and so does a mapping that is not
// the user's own (channel_mapping.h): a reader never reads outside the
// mapping nor writes outside its own buffer.
#pragma once

#include "sharecam/transport/channel_mapping.h"
#include "sharecam/transport/layout.h"
#include "sharecam/transport/liveness.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vlxshare::transport {

struct SharedFrame {
    int64_t frame_number = 0;  // the publisher's
    int64_t sample_time = -1;
    int64_t arrival = 0;
    int64_t frame_interval = 0;
    int32_t width = 0;
    int32_t height = 0;  // positive: bottom-up RGB24
    uint32_t stride = 0;
    std::vector<uint8_t> pixels;  // stride * height bytes, unless `direct`
    bool direct = false;          // the pixels went to the caller's buffer instead
};

// Where a reader may copy a frame's pixels straight away: a frame of exactly
// this size goes there (saving the copy into SharedFrame::pixels), any other
// into the frame's own buffer. A torn copy leaves `bytes` there that belong
// to no frame: the caller must not use them unless read() answered `frame`
// with `direct` set.
struct DirectTarget {
    uint8_t* bytes = nullptr;
    size_t capacity = 0;
    int32_t width = 0;
    int32_t height = 0;
};

enum class ReadResult {
    frame,        // `frame` holds the next frame
    nothing_new,  // the publisher runs; no frame since the last one
    no_signal,    // no publisher, its process is gone, or the channel is damaged
};

class ChannelReader {
public:
    ChannelReader();
    ~ChannelReader() { close(); }
    ChannelReader(const ChannelReader&) = delete;
    ChannelReader& operator=(const ChannelReader&) = delete;

    // Opens the channel's mapping, making it when no publisher has yet.
    // 0 or a Win32 error; after an error read() tries again once a second.
    DWORD open(int32_t channel);
    // A mapping handle of the caller's instead (tests: damaged mappings).
    DWORD attach(HANDLE mapping, int32_t channel);
    void close();

    // The next frame, or why there is none. May throw std::bad_alloc
    // (the frame buffer grows to a larger frame).
    ReadResult read(SharedFrame& frame, const DirectTarget* direct = nullptr);

    // Set by the publisher for every frame once registered; null before.
    HANDLE frame_event() const { return event_; }
    bool registered() const { return slot_ >= 0; }
    int64_t taken() const { return taken_; }
    int64_t skipped() const { return skipped_; }

    // Tests only: called after the pixels are copied, before the sequence
    // is checked again (a publisher that overtakes the reader there).
    void set_copy_hook(void (*hook)(void* context), void* context) {
        copy_hook_ = hook;
        copy_context_ = context;
    }

private:
    void try_register(ChannelHeader& header);
    // Forgets the slot (`free_it`: gives it back in the header too).
    void unregister(bool free_it);
    bool copy_frame(ChannelHeader& header, int64_t n, SharedFrame& frame, const DirectTarget* direct);
    void publish_counts(ChannelHeader& header);

    int32_t channel_ = 0;
    bool reopen_ = false;        // open() failed: try again at reopen_at_
    ULONGLONG reopen_at_ = 0;
    ChannelView view_;
    const int64_t who_;  // this reader's identity (liveness.h)
    int32_t slot_ = -1;
    HANDLE event_ = nullptr;
    ProcessWatch publisher_;
    int64_t next_ = 0;  // ring number of the frame wanted next; 0: the newest
    int64_t taken_ = 0;
    int64_t skipped_ = 0;
    void (*copy_hook_)(void*) = nullptr;
    void* copy_context_ = nullptr;
};

// The newest frame's size and rate on channel `channel` while a running
// process publishes there; false otherwise (nothing is made or registered).
struct PublishedShape {
    int32_t width = 0;
    int32_t height = 0;
    int64_t frame_interval = 0;
};
bool publisher_shape(int32_t channel, PublishedShape& shape);

}  // namespace vlxshare::transport
