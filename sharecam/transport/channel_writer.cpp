#include "sharecam/transport/channel_writer.h"

#include "sharecam/transport/header_check.h"
#include "sharecam/transport/liveness.h"

#include "common/srw_lock.h"

#include <algorithm>
#include <cstring>

namespace vlxshare::transport {

using vlx::ExclusiveLock;

ClaimResult ChannelWriter::open(int32_t channel) {
    ExclusiveLock guard(lock_);
    view_.close();
    error_ = view_.open(channel, true);
    if (error_ != 0) return ClaimResult::failed;
    if (view_.size() < kMappingBytes) {  // someone made a mapping of another size under our name
        view_.close();
        error_ = ERROR_INVALID_DATA;
        return ClaimResult::failed;
    }
    // A header that is not ours is repaired: the publisher owns the layout.
    initialise_header(view_, true);
    ChannelHeader* header = valid_header(view_);
    if (!header) {
        view_.close();
        error_ = ERROR_INVALID_DATA;
        return ClaimResult::failed;
    }
    const LONG me = static_cast<LONG>(GetCurrentProcessId());
    for (;;) {
        const LONG present = header->publisher_pid;
        // Our own id: a publisher of ours that ended without giving the
        // channel back (the library's caller keeps one per channel itself).
        if (present != 0 && present != me && process_alive(static_cast<DWORD>(present))) {
            view_.close();
            return ClaimResult::taken;
        }
        if (InterlockedCompareExchange(&header->publisher_pid, me, present) == present) break;
    }
    // Ours now: nothing an earlier publisher or a damaged mapping left in
    // the ring or the reader slots is taken for ours. Readers register
    // again at their next look; the claim itself stays.
    InterlockedExchange64(&header->published, 0);
    InterlockedExchange64(&header->publisher_frames, 0);
    for (FrameRecord& record : header->frames) InterlockedExchange64(&record.sequence, 0);
    for (ReaderSlot& slot : header->readers) InterlockedExchange(&slot.pid, 0);
    channel_ = channel;
    return ClaimResult::claimed;
}

void ChannelWriter::close() {
    ExclusiveLock guard(lock_);
    if (ChannelHeader* header = valid_header(view_)) {
        InterlockedCompareExchange(&header->publisher_pid, 0, static_cast<LONG>(GetCurrentProcessId()));
        signal_readers(*header);  // they see "no signal" now rather than at their next time-out
    }
    close_events();
    view_.close();
}

void ChannelWriter::close_events() {
    for (ReaderEvent& entry : events_) {
        if (entry.event) CloseHandle(entry.event);
        entry = ReaderEvent{};
    }
}

bool ChannelWriter::write(const FrameFacts& facts, const uint8_t* pixels) {
    if (!pixels || !frame_shape_valid(kFormatRgb24, facts.width, facts.height, facts.stride, facts.bytes))
        return false;
    ExclusiveLock guard(lock_);
    ChannelHeader* header = valid_header(view_);
    if (!header) {
        // Scribbled over since we claimed it: ours again.
        if (!view_.is_open()) return false;
        initialise_header(view_, true);
        header = valid_header(view_);
        if (!header) return false;
        InterlockedExchange(&header->publisher_pid, static_cast<LONG>(GetCurrentProcessId()));
    }
    const int64_t n = header->published + 1;
    const uint32_t index = static_cast<uint32_t>(static_cast<uint64_t>(n - 1) % kRingFrames);
    FrameRecord& record = header->frames[index];
    InterlockedExchange64(&record.sequence, 2 * n - 1);  // odd: being written
    record.frame_number = InterlockedIncrement64(&header->publisher_frames);
    record.sample_time = facts.sample_time;
    record.arrival = facts.arrival;
    record.frame_interval = facts.frame_interval;
    record.format = kFormatRgb24;
    record.width = facts.width;
    record.height = facts.height;
    record.stride = facts.stride;
    record.bytes = facts.bytes;
    std::memcpy(frame_pixels(view_, index), pixels, facts.bytes);
    InterlockedExchange64(&record.sequence, 2 * n);
    InterlockedExchange64(&header->published, n);
    signal_readers(*header);
    return true;
}

// Each registered reader has an event named after its slot; we open it once
// per reader process and keep it.
void ChannelWriter::signal_readers(ChannelHeader& header) {
    for (uint32_t k = 0; k < kReaderSlots; ++k) {
        const LONG pid = header.readers[k].pid;
        ReaderEvent& entry = events_[k];
        if (pid == 0) continue;
        if (entry.pid != pid) {
            if (entry.event) CloseHandle(entry.event);
            entry.pid = pid;
            entry.event = OpenEventW(EVENT_MODIFY_STATE, FALSE, reader_event_name(channel_, k).c_str());
        }
        if (entry.event) SetEvent(entry.event);
    }
}

ChannelInfo channel_info(const ChannelView& view) {
    ChannelInfo info;
    ChannelHeader* header = valid_header(view);
    if (!header) return info;
    const LONG publisher = header->publisher_pid;
    if (publisher != 0 && process_alive(static_cast<DWORD>(publisher))) {
        info.publisher_pid = publisher;
        info.published = header->publisher_frames;
    }
    for (const ReaderSlot& slot : header->readers) {
        const LONG pid = slot.pid;
        if (pid == 0 || !process_alive(static_cast<DWORD>(pid))) continue;
        ++info.readers;
        info.slowest_skipped = std::max<int64_t>(info.slowest_skipped, static_cast<int64_t>(slot.skipped));
    }
    return info;
}

bool read_channel_info(int32_t channel, ChannelInfo& info) {
    info = ChannelInfo{};
    ChannelView view;
    if (view.open(channel, false) != 0) return false;
    if (!valid_header(view)) return false;
    info = channel_info(view);
    return true;
}

}  // namespace vlxshare::transport
