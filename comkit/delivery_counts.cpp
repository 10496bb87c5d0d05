#include "comkit/delivery_counts.h"

#include <algorithm>
#include <climits>

namespace vlxcom {

namespace {
LONG as_long(int64_t value) { return static_cast<LONG>(std::min<int64_t>(value, LONG_MAX)); }
}  // namespace

void DeliveryCounts::restart() {
    std::lock_guard guard(lock_);
    dropped_ = delivered_ = bytes_ = 0;
    recent_count_ = recent_next_ = 0;
}

void DeliveryCounts::delivered(LONG bytes) {
    std::lock_guard guard(lock_);
    ++delivered_;
    bytes_ += bytes;
}

void DeliveryCounts::dropped(uint32_t first, uint32_t count) {
    std::lock_guard guard(lock_);
    dropped_ += count;
    // Only the last kRemembered numbers can be kept.
    const uint32_t skipped = count > kRemembered ? count - static_cast<uint32_t>(kRemembered) : 0;
    for (uint32_t i = skipped; i < count; ++i) {
        recent_[recent_next_] = first + i;
        recent_next_ = (recent_next_ + 1) % kRemembered;
        recent_count_ = std::min(recent_count_ + 1, kRemembered);
    }
}

LONG DeliveryCounts::dropped_count() const {
    std::lock_guard guard(lock_);
    return as_long(dropped_);
}

LONG DeliveryCounts::delivered_count() const {
    std::lock_guard guard(lock_);
    return as_long(delivered_);
}

LONG DeliveryCounts::average_size() const {
    std::lock_guard guard(lock_);
    return delivered_ ? as_long(bytes_ / delivered_) : 0;
}

LONG DeliveryCounts::recent_drops(LONG* numbers, LONG capacity) const {
    std::lock_guard guard(lock_);
    const size_t count = std::min(recent_count_, static_cast<size_t>(std::max<LONG>(capacity, 0)));
    // The oldest number kept sits recent_count_ places before recent_next_.
    const size_t oldest = (recent_next_ + kRemembered - recent_count_) % kRemembered;
    for (size_t i = 0; i < count; ++i) numbers[i] = static_cast<LONG>(recent_[(oldest + i) % kRemembered]);
    return static_cast<LONG>(count);
}

}  // namespace vlxcom
