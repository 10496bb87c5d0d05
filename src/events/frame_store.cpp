#include "events/frame_store.h"

#include "common/srw_lock.h"

#include <cstring>
#include <new>

namespace vlx {

int64_t FrameStore::count_arrival() {
    ExclusiveLock guard(lock_);
    return ++arrived_;
}

bool FrameStore::publish(const uint8_t* bytes, size_t size, const FrameStamp& stamp) {
    int target = kNone;
    {
        ExclusiveLock guard(lock_);
        for (int i = 0; i < static_cast<int>(buffers_.size()); ++i) {
            if (i != newest_ && i != reading_ && i != lent_ && i != writing_) {
                target = i;
                break;
            }
        }
        if (target == kNone) return false;
        writing_ = target;
    }
    // The buffer is this thread's alone until it is published below.
    Buffer& buffer = buffers_[static_cast<size_t>(target)];
    if (buffer.capacity < size) {
        buffer.bytes.reset(new (std::nothrow) uint8_t[size]);
        buffer.capacity = buffer.bytes ? size : 0;
    }
    const bool stored = buffer.capacity >= size;
    if (stored) {
        if (size) std::memcpy(buffer.bytes.get(), bytes, size);
        buffer.size = size;
        buffer.stamp = stamp;
    }
    ExclusiveLock guard(lock_);
    writing_ = kNone;
    if (stored) newest_ = target;
    return stored;
}

int64_t FrameStore::newest_number(uint64_t connection) const {
    ExclusiveLock guard(lock_);
    if (newest_ == kNone) return 0;
    const FrameStamp& stamp = buffers_[static_cast<size_t>(newest_)].stamp;
    return stamp.connection == connection ? stamp.number : 0;
}

FrameStore::Taken FrameStore::take(void* destination, size_t capacity, uint64_t connection) {
    Taken taken;
    int source = kNone;
    {
        ExclusiveLock guard(lock_);
        if (newest_ == kNone) return taken;
        const Buffer& newest = buffers_[static_cast<size_t>(newest_)];
        if (newest.stamp.connection != connection) return taken;
        taken.size = newest.size;
        if (!destination) {
            taken.outcome = Outcome::sized;
            return taken;
        }
        if (capacity < newest.size) {
            taken.outcome = Outcome::too_small;
            return taken;
        }
        source = reading_ = newest_;
        taken.stamp = newest.stamp;
    }
    // The streaming thread never writes the buffer being read.
    if (taken.size) std::memcpy(destination, buffers_[static_cast<size_t>(source)].bytes.get(), taken.size);
    ExclusiveLock guard(lock_);
    reading_ = kNone;
    taken.outcome = Outcome::copied;
    return taken;
}

bool FrameStore::lend(uint64_t connection, Lent& lent) {
    ExclusiveLock guard(lock_);
    if (lent_ != kNone || newest_ == kNone) return false;
    const Buffer& newest = buffers_[static_cast<size_t>(newest_)];
    if (newest.stamp.connection != connection) return false;
    lent_ = newest_;
    lent = {newest.bytes.get(), newest.size, newest.stamp};
    return true;
}

void FrameStore::give_back() {
    ExclusiveLock guard(lock_);
    lent_ = kNone;
}

}  // namespace vlx
