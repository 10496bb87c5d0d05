#include "sharecam/transport/channel_writer.h"

#include "common/srw_lock.h"
#include "sharecam/transport/header_check.h"
#include "sharecam/transport/liveness.h"

#include <algorithm>
#include <cstring>

namespace vlxshare::transport {

using vlx::ExclusiveLock;

ClaimResult ChannelWriter::open(int32_t channel) {
    close();
    ExclusiveLock guard(lock_);
    auto fail = [&](DWORD error) {
        error_ = error;
        view_.close();
        if (claim_lock_) {
            ReleaseMutex(claim_lock_);
            CloseHandle(claim_lock_);
            claim_lock_ = nullptr;
        }
        return error == kForeignObject ? ClaimResult::foreign : ClaimResult::failed;
    };
    error_ = 0;
    HANDLE mutex = create_owned_mutex(publisher_mutex_name(channel));
    if (!mutex) return fail(GetLastError());
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {  // a running publisher holds it
        CloseHandle(mutex);
        return ClaimResult::taken;
    }
    claim_lock_ = mutex;
    if (const DWORD opened = view_.open(channel, true)) return fail(opened);
    // The layout is the claim holder's to repair: nobody else writes it now.
    initialise_header(view_, true);
    ChannelHeader* header = valid_header(view_);
    if (!header) return fail(ERROR_INVALID_DATA);
    // A count that went wild (a damaged header) starts again; otherwise
    // the ring's numbers and sequences go on from the last publisher's.
    if (header->published < 0 || header->published > (INT64_MAX >> 2)) {
        for (FrameRecord& record : header->frames) InterlockedExchange64(&record.sequence, 0);
        InterlockedExchange64(&header->published, 0);
    }
    // Claims are numbered upward, and from the performance counter too, so
    // that a header repaired (zeroed) since never gives an old number again.
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    claim_ = std::max<int64_t>(header->claim + 1, now.QuadPart);
    InterlockedExchange64(&header->claim, claim_);
    InterlockedExchange64(&header->publisher_frames, 0);
    InterlockedExchange(&header->publisher_state, kPublishing);
    const IdentityValue before = read_identity(header->publisher);
    swap_identity(header->publisher, before, {static_cast<int64_t>(GetCurrentProcessId()), this_process_started()});
    channel_ = channel;
    return ClaimResult::claimed;
}

ChannelHeader* ChannelWriter::claimed_header() const {
    ChannelHeader* header = valid_header(view_);
    return header && header->claim == claim_ ? header : nullptr;
}

void ChannelWriter::close() {
    ExclusiveLock guard(lock_);
    if (ChannelHeader* header = claimed_header()) {
        const IdentityValue me = read_identity(header->publisher);
        swap_identity(header->publisher, me, {});
        InterlockedExchange(&header->publisher_state, kPublishing);
        signal_readers(*header);  // they see "no signal" now rather than at their next time-out
    }
    close_events();
    view_.close();
    if (claim_lock_) {
        ReleaseMutex(claim_lock_);
        CloseHandle(claim_lock_);
        claim_lock_ = nullptr;
    }
    claim_ = 0;
}

void ChannelWriter::close_events() {
    for (ReaderEvent& entry : events_) {
        if (entry.event) CloseHandle(entry.event);
        entry = ReaderEvent{};
    }
}

void ChannelWriter::set_state(ChannelHeader& header, LONG state) {
    if (header.publisher_state != state) InterlockedExchange(&header.publisher_state, state);
}

void ChannelWriter::announce_shape(int32_t width, int32_t height) {
    ExclusiveLock guard(lock_);
    ChannelHeader* header = claimed_header();
    if (!header) return;
    const uint32_t stride = width > 0 ? rgb24_stride(width) : 0;
    const uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height > 0 ? height : 0);
    const bool carried = bytes <= UINT32_MAX &&
                         frame_shape_valid(kFormatRgb24, width, height, stride, static_cast<uint32_t>(bytes));
    set_state(*header, carried ? kPublishing : kFramesNotCarried);
}

bool ChannelWriter::write(const FrameFacts& facts, const uint8_t* pixels) {
    ExclusiveLock guard(lock_);
    ChannelHeader* header = claimed_header();
    if (!header || !pixels) return false;
    if (!frame_shape_valid(kFormatRgb24, facts.width, facts.height, facts.stride, facts.bytes)) {
        set_state(*header, kFramesNotCarried);
        return false;
    }
    set_state(*header, kPublishing);
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
// per reader and keep it.
void ChannelWriter::signal_readers(ChannelHeader& header) {
    for (uint32_t k = 0; k < kReaderSlots; ++k) {
        const int64_t who = header.readers[k].owner.who;
        ReaderEvent& entry = events_[k];
        if (who == 0) continue;
        if (entry.who != who) {
            if (entry.event) CloseHandle(entry.event);
            entry.who = who;
            entry.event = open_owned_event(reader_event_name(channel_, k));
        }
        if (entry.event) SetEvent(entry.event);
    }
}

ChannelInfo channel_info(const ChannelView& view) {
    ChannelInfo info;
    ChannelHeader* header = valid_header(view);
    if (!header) return info;
    const IdentityValue publisher = read_identity(header->publisher);
    if (process_alive(static_cast<DWORD>(publisher.who), publisher.started)) {
        info.publisher_pid = publisher.who;
        info.published = header->publisher_frames;
        info.frames_not_carried = header->publisher_state == kFramesNotCarried;
    }
    for (ReaderSlot& slot : header->readers) {
        const IdentityValue owner = read_identity(slot.owner);
        if (!process_alive(static_cast<DWORD>(owner.who >> 32), owner.started)) continue;
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
