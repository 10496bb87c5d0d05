// The audio blocks of one slot, between the graph's streaming thread (the
// audio Sample Grabber's callback) and the host's thread that takes them.
//
// Every block once, in order: the host takes the oldest block not taken.
// The library holds at most VLX_AUDIO_QUEUE_BLOCKS of them; when a host
// falls that far behind, the oldest goes and counts as missed, so memory
// stays bounded whatever the host does and the graph never waits for it.
// The lock guards only the queue's bookkeeping; copying into the host's
// memory happens outside it, from a block no other thread touches.
#pragma once

#include "common/performance_clock.h"
#include "common/sample_grabber_callback.h"
#include "sound/audio_formats.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <vector>

namespace vlx::sound {

struct Block {
    std::vector<uint8_t> bytes;
    int64_t number = 0;        // 1 for the first block, one more for each that arrived
    int64_t sample_time = -1;  // its start time, 100 ns of stream time; -1 none
    int64_t arrival = 0;       // 100 ns units of the performance counter
};

class AudioBlocks final : public SampleGrabberCallback {
public:
    // Null when no event can be made.
    static AudioBlocks* create(int32_t slot, const AudioFormat& format);

    // ---- the streaming thread ----
    STDMETHODIMP SampleCB(double time, IMediaSample* sample) override;

    // ---- the host's thread ----
    // Signalled while a block waits, and once the slot lets go (detach).
    HANDLE event() const { return event_; }
    bool holds_block() const;
    const AudioFormat& format() const { return format_; }
    // The oldest block's size (0: none).
    size_t next_size() const;
    // Takes the oldest block into `block` (its buffer reused), with the
    // blocks missed since the last take. False when none waits.
    bool take(Block& block, int64_t& missed);
    void set_notify(HWND window, UINT message);
    // The slot's graph is going: no block is taken in any more.
    void detach();
    bool detached() const { return detached_; }

private:
    AudioBlocks(int32_t slot, const AudioFormat& format, HANDLE event);
    ~AudioBlocks() override;

    const int32_t slot_;
    const AudioFormat format_;
    const HANDLE event_;  // manual reset
    const PerformanceClock clock_;  // arrivals: the frames' clock
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    // Guarded by lock_.
    std::deque<Block> queue_;
    std::vector<std::vector<uint8_t>> spare_;  // buffers of blocks taken, for the next ones
    int64_t arrived_ = 0;
    int64_t missed_ = 0;
    HWND window_ = nullptr;
    UINT message_ = 0;
    std::atomic<bool> detached_{false};
};

}  // namespace vlx::sound
