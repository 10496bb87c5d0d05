#include "events/frame_store.h"

#include "common/srw_lock.h"

#include <cstring>
#include <new>
#include <utility>

namespace vlx {

void FrameStore::allow_samples(ComPtr<IMemAllocator> allocator) {
    ExclusiveLock guard(lock_);
    allocator_.swap(allocator);
}

int64_t FrameStore::count_arrival() {
    ExclusiveLock guard(lock_);
    return ++arrived_;
}

FrameStore::Leaving FrameStore::leave_if_idle(int index) {
    Leaving leaving;
    if (index == kNone || index == newest_ || index == reading_ || index == lent_ || index == writing_) return leaving;
    Place& place = places_[static_cast<size_t>(index)];
    leaving.sample = std::move(place.sample);
    leaving.allocator = std::move(place.allocator);
    place.bytes = nullptr;
    return leaving;
}

bool FrameStore::copy_into(Place& place, const uint8_t* bytes, size_t size) {
    if (place.capacity < size) {
        place.copy.reset(new (std::nothrow) uint8_t[size]);
        place.capacity = place.copy ? size : 0;
    }
    if (place.capacity < size) return false;
    if (size) std::memcpy(place.copy.get(), bytes, size);
    place.bytes = place.copy.get();
    place.size = size;
    return true;
}

bool FrameStore::publish(IMediaSample* sample, const uint8_t* bytes, size_t size, const FrameStamp& stamp) {
    int target = kNone;
    ComPtr<IMemAllocator> holding;  // set when the sample itself is kept
    {
        ExclusiveLock guard(lock_);
        for (int i = 0; i < static_cast<int>(places_.size()); ++i) {
            if (i != newest_ && i != reading_ && i != lent_ && i != writing_) {
                target = i;
                break;
            }
        }
        if (target == kNone) return false;
        writing_ = target;
        // A lent sample may be held for as long as the host likes: the camera
        // keeps every other buffer meanwhile.
        const bool sample_lent = lent_ != kNone && places_[static_cast<size_t>(lent_)].sample;
        if (sample && allocator_ && !sample_lent) holding = allocator_;
    }
    // The place is this thread's alone until it is published below; a place
    // playing no part holds no sample.
    Place& place = places_[static_cast<size_t>(target)];
    bool stored = true;
    if (holding) {
        place.allocator = std::move(holding);
        place.sample = ComPtr<IMediaSample>::share(sample);
        place.bytes = bytes;
        place.size = size;
    } else {
        stored = copy_into(place, bytes, size);
    }
    if (stored) place.stamp = stamp;
    Leaving leaving;  // released after the lock below is let go
    ExclusiveLock guard(lock_);
    writing_ = kNone;
    if (stored) leaving = leave_if_idle(std::exchange(newest_, target));
    return stored;
}

int64_t FrameStore::newest_number(uint64_t connection) const {
    ExclusiveLock guard(lock_);
    if (newest_ == kNone) return 0;
    const FrameStamp& stamp = places_[static_cast<size_t>(newest_)].stamp;
    return stamp.connection == connection ? stamp.number : 0;
}

bool FrameStore::newest_is_sample() const {
    ExclusiveLock guard(lock_);
    return newest_ != kNone && places_[static_cast<size_t>(newest_)].sample;
}

FrameStore::Taken FrameStore::take(void* destination, size_t capacity, uint64_t connection) {
    Taken taken;
    int source = kNone;
    {
        ExclusiveLock guard(lock_);
        if (newest_ == kNone) return taken;
        const Place& newest = places_[static_cast<size_t>(newest_)];
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
    // The streaming thread never writes or lets go of the place being read.
    if (taken.size) std::memcpy(destination, places_[static_cast<size_t>(source)].bytes, taken.size);
    Leaving leaving;
    ExclusiveLock guard(lock_);
    reading_ = kNone;
    leaving = leave_if_idle(source);
    taken.outcome = Outcome::copied;
    return taken;
}

bool FrameStore::lend(uint64_t connection, Lent& lent) {
    ExclusiveLock guard(lock_);
    if (lent_ != kNone || newest_ == kNone) return false;
    const Place& newest = places_[static_cast<size_t>(newest_)];
    if (newest.stamp.connection != connection) return false;
    lent_ = newest_;
    lent = {newest.bytes, newest.size, newest.stamp};
    return true;
}

void FrameStore::give_back() {
    Leaving leaving;
    ExclusiveLock guard(lock_);
    leaving = leave_if_idle(std::exchange(lent_, kNone));
}

void FrameStore::copy_held_newest() {
    int index = kNone;
    {
        ExclusiveLock guard(lock_);
        if (newest_ == kNone || newest_ == lent_ || !places_[static_cast<size_t>(newest_)].sample) return;
        index = reading_ = newest_;
    }
    // Read like a take: a frame still on its way meanwhile goes elsewhere.
    Place& place = places_[static_cast<size_t>(index)];
    const bool copied = copy_into(place, place.bytes, place.size);
    Leaving leaving;
    ExclusiveLock guard(lock_);
    reading_ = kNone;
    if (copied && newest_ == index) {
        leaving.sample = std::move(place.sample);
        leaving.allocator = std::move(place.allocator);
    } else {
        // Without memory for it, or overtaken by a newer frame.
        if (newest_ == index) newest_ = kNone;
        leaving = leave_if_idle(index);
    }
}

void FrameStore::release_unlent() {
    Leaving leaving;
    ComPtr<IMemAllocator> allocator;
    ExclusiveLock guard(lock_);
    allocator_.swap(allocator);
    if (newest_ != kNone && newest_ != lent_ && places_[static_cast<size_t>(newest_)].sample)
        leaving = leave_if_idle(std::exchange(newest_, kNone));
}

}  // namespace vlx
