#include "sound/audio_blocks.h"

#include "vidlox.h"

#include "common/srw_lock.h"

#include <cstring>
#include <new>
#include <utility>

namespace vlx::sound {

AudioBlocks* AudioBlocks::create(int32_t slot, const AudioFormat& format) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) return nullptr;
    auto* blocks = new (std::nothrow) AudioBlocks(slot, format, event);
    if (!blocks) CloseHandle(event);
    return blocks;
}

AudioBlocks::AudioBlocks(int32_t slot, const AudioFormat& format, HANDLE event)
    : slot_(slot), format_(format), event_(event) {}

AudioBlocks::~AudioBlocks() { CloseHandle(event_); }

// Short and never blocking on the host: a copy under the queue's lock
// (into a recycled buffer), the event, and a posted message.
STDMETHODIMP AudioBlocks::SampleCB(double, IMediaSample* sample) {
    if (!sample || detached_) return S_OK;
    BYTE* bytes = nullptr;
    const long size = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&bytes)) || !bytes || size <= 0) return S_OK;
    REFERENCE_TIME start = -1, stop = -1;
    if (FAILED(sample->GetTime(&start, &stop))) start = -1;
    const int64_t arrival = clock_.now();
    HWND window = nullptr;
    UINT message = 0;
    int64_t number = 0;
    {
        ExclusiveLock guard(lock_);
        number = ++arrived_;
        try {
            Block block;
            if (!spare_.empty()) {
                block.bytes = std::move(spare_.back());
                spare_.pop_back();
            }
            block.bytes.assign(bytes, bytes + size);
            block.number = number;
            block.sample_time = start;
            block.arrival = arrival;
            if (queue_.size() >= VLX_AUDIO_QUEUE_BLOCKS) {  // the host fell behind: the oldest goes
                spare_.push_back(std::move(queue_.front().bytes));
                queue_.pop_front();
                ++missed_;
            }
            queue_.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            ++missed_;  // no memory for it: a block the host never sees
        }
        window = window_;
        message = message_;
    }
    SetEvent(event_);
    if (window) PostMessageW(window, message, static_cast<WPARAM>(slot_), static_cast<LPARAM>(static_cast<uint32_t>(number)));
    return S_OK;
}

bool AudioBlocks::holds_block() const {
    ExclusiveLock guard(lock_);
    return !queue_.empty();
}

size_t AudioBlocks::next_size() const {
    ExclusiveLock guard(lock_);
    return queue_.empty() ? 0 : queue_.front().bytes.size();
}

bool AudioBlocks::take(Block& block, int64_t& missed) {
    ExclusiveLock guard(lock_);
    if (queue_.empty()) return false;
    if (!block.bytes.empty() || block.bytes.capacity()) {
        try {
            spare_.push_back(std::move(block.bytes));
        } catch (const std::bad_alloc&) {
        }
    }
    block = std::move(queue_.front());
    queue_.pop_front();
    missed = std::exchange(missed_, 0);
    if (queue_.empty() && !detached_) ResetEvent(event_);
    return true;
}

void AudioBlocks::set_notify(HWND window, UINT message) {
    ExclusiveLock guard(lock_);
    window_ = window;
    message_ = message;
}

void AudioBlocks::detach() {
    detached_ = true;
    set_notify(nullptr, 0);
    SetEvent(event_);
}

}  // namespace vlx::sound
