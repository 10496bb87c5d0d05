#include "stills/still_store.h"

#include "common/srw_lock.h"

#include <cstring>
#include <new>

namespace vlx {

int StillStore::oldest_waiting() const {
    int oldest = kNone;
    for (int i = 0; i < static_cast<int>(buffers_.size()); ++i) {
        const Buffer& buffer = buffers_[static_cast<size_t>(i)];
        if (buffer.role == Role::waiting &&
            (oldest == kNone || buffer.stamp.number < buffers_[static_cast<size_t>(oldest)].stamp.number))
            oldest = i;
    }
    return oldest;
}

bool StillStore::put(const uint8_t* bytes, size_t size, const BITMAPINFOHEADER& header, const StillStamp& stamp) {
    int target = kNone;
    {
        ExclusiveLock guard(lock_);
        for (int i = 0; i < static_cast<int>(buffers_.size()) && target == kNone; ++i) {
            if (buffers_[static_cast<size_t>(i)].role == Role::free) target = i;
        }
        // The grabber hands in one still at a time and one buffer at most is
        // lent, so one is waiting at least.
        if (target == kNone) target = oldest_waiting();
        if (target == kNone) return false;
        buffers_[static_cast<size_t>(target)].role = Role::writing;
    }
    // The buffer is this thread's alone until it waits below.
    Buffer& buffer = buffers_[static_cast<size_t>(target)];
    if (buffer.capacity < size) {
        buffer.bytes.reset(new (std::nothrow) uint8_t[size]);
        buffer.capacity = buffer.bytes ? size : 0;
    }
    const bool stored = buffer.capacity >= size;
    if (stored) {
        if (size) std::memcpy(buffer.bytes.get(), bytes, size);
        buffer.size = size;
        buffer.header = header;
        buffer.stamp = stamp;
    }
    ExclusiveLock guard(lock_);
    buffer.role = stored ? Role::waiting : Role::free;
    return stored;
}

bool StillStore::holds_still() const {
    ExclusiveLock guard(lock_);
    return oldest_waiting() != kNone;
}

bool StillStore::lend(Lent& lent) {
    ExclusiveLock guard(lock_);
    for (const Buffer& buffer : buffers_) {
        if (buffer.role == Role::lent) return false;
    }
    const int oldest = oldest_waiting();
    if (oldest == kNone) return false;
    Buffer& buffer = buffers_[static_cast<size_t>(oldest)];
    buffer.role = Role::lent;
    lent = {buffer.bytes.get(), buffer.size, buffer.header, buffer.stamp};
    return true;
}

void StillStore::give_back(bool taken) {
    ExclusiveLock guard(lock_);
    for (Buffer& buffer : buffers_) {
        if (buffer.role == Role::lent) buffer.role = taken ? Role::free : Role::waiting;
    }
}

}  // namespace vlx
