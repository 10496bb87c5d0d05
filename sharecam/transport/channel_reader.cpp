#include "sharecam/transport/channel_reader.h"

#include "sharecam/transport/header_check.h"

#include <cstring>

namespace vlxshare::transport {

namespace {

// How often a frame whose sequence moves is tried again before the reader
// gives up for now: a sequence that never settles is "no signal".
constexpr int kReadAttempts = 4;

// Readers made in this process so far: each one's number in its identity.
LONG g_readers_made = 0;

}  // namespace

ChannelReader::ChannelReader()
    : who_(static_cast<int64_t>(GetCurrentProcessId()) << 32 | static_cast<uint32_t>(InterlockedIncrement(&g_readers_made))) {}

DWORD ChannelReader::open(int32_t channel) {
    close();
    channel_ = channel;
    const DWORD opened = view_.open(channel, true);
    if (opened == 0) initialise_header(view_, false);
    reopen_ = opened != 0;
    reopen_at_ = GetTickCount64() + 1000;
    return opened;
}

DWORD ChannelReader::attach(HANDLE mapping, int32_t channel) {
    close();
    channel_ = channel;
    return view_.attach(mapping);
}

void ChannelReader::close() {
    unregister(true);
    view_.close();
    publisher_.forget();
    next_ = 0;
    reopen_ = false;
}

void ChannelReader::try_register(ChannelHeader& header) {
    const IdentityValue me{who_, this_process_started()};
    for (uint32_t k = 0; k < kReaderSlots; ++k) {
        const IdentityValue present = read_identity(header.readers[k].owner);
        if (present.who != 0 && process_alive(static_cast<DWORD>(present.who >> 32), present.started)) continue;
        // The event first: the publisher looks for it once it sees us. A
        // name another object has (not an event, or not the user's) leaves
        // that slot to the next reader.
        HANDLE event = create_owned_event(reader_event_name(channel_, k));
        if (!event) continue;
        if (!swap_identity(header.readers[k].owner, present, me)) {
            CloseHandle(event);
            continue;
        }
        InterlockedExchange64(&header.readers[k].taken, 0);
        InterlockedExchange64(&header.readers[k].skipped, 0);
        slot_ = static_cast<int32_t>(k);
        event_ = event;
        return;
    }
}

void ChannelReader::unregister(bool free_it) {
    if (slot_ >= 0 && free_it) {
        if (ChannelHeader* header = valid_header(view_))
            swap_identity(header->readers[slot_].owner, {who_, this_process_started()}, {});
    }
    if (event_) CloseHandle(event_);
    event_ = nullptr;
    slot_ = -1;
}

void ChannelReader::publish_counts(ChannelHeader& header) {
    if (slot_ < 0) return;
    InterlockedExchange64(&header.readers[slot_].taken, taken_);
    InterlockedExchange64(&header.readers[slot_].skipped, skipped_);
}

ReadResult ChannelReader::read(SharedFrame& frame, const DirectTarget* direct) {
    if (reopen_ && GetTickCount64() >= reopen_at_) open(channel_);
    ChannelHeader* header = valid_header(view_);
    if (!header) {
        unregister(false);  // a publisher that repairs the header clears the slots
        return ReadResult::no_signal;
    }
    // A repaired header has forgotten our slot; another reader may hold it now.
    if (slot_ >= 0) {
        const IdentityValue owner = read_identity(header->readers[slot_].owner);
        if (owner.who != who_ || owner.started != this_process_started()) unregister(false);
    }
    if (slot_ < 0) try_register(*header);

    const IdentityValue publisher = read_identity(header->publisher);
    // The ring's numbers go on from one publisher to the next: the reader
    // goes on with the next frame too.
    if (!publisher_.alive(static_cast<DWORD>(publisher.who), publisher.started)) return ReadResult::no_signal;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        const int64_t latest = header->published;
        if (latest <= 0) return ReadResult::nothing_new;
        if (next_ <= 0 || next_ > latest + 1) next_ = latest;  // first read, or the count went back
        if (next_ > latest) return ReadResult::nothing_new;
        // Too far behind: the frames before the newest may be overwritten
        // while we copy; skip to the newest.
        if (latest - next_ >= static_cast<int64_t>(kRingFrames) - 1) {
            skipped_ += latest - next_;
            next_ = latest;
        }
        if (copy_frame(*header, next_, frame, direct)) {
            ++next_;
            ++taken_;
            publish_counts(*header);
            return ReadResult::frame;
        }
        // Overtaken by the publisher's next lap: that frame is gone.
        const uint32_t index = static_cast<uint32_t>(static_cast<uint64_t>(next_ - 1) % kRingFrames);
        if (static_cast<uint64_t>(header->frames[index].sequence) > static_cast<uint64_t>(next_) * 2) {
            ++skipped_;
            ++next_;
        }
        publish_counts(*header);
    }
    return ReadResult::no_signal;
}

// One seqlock read of ring frame `n`: the record and pixels are copied, then
// the sequence is read again; a frame written meanwhile is not handed on.
bool ChannelReader::copy_frame(ChannelHeader& header, int64_t n, SharedFrame& frame, const DirectTarget* direct) {
    const uint32_t index = static_cast<uint32_t>(static_cast<uint64_t>(n - 1) % kRingFrames);
    const FrameRecord& record = header.frames[index];
    const int64_t before = record.sequence;
    MemoryBarrier();
    if (static_cast<uint64_t>(before) != static_cast<uint64_t>(n) * 2) return false;  // being written, or already the next lap's
    // Every value read once, into our own copy, and checked before use.
    const uint32_t format = record.format;
    const int32_t width = record.width;
    const int32_t height = record.height;
    const uint32_t stride = record.stride;
    const uint32_t bytes = record.bytes;
    if (!frame_shape_valid(format, width, height, stride, bytes)) return false;
    SharedFrame copy_of_facts;
    copy_of_facts.frame_number = record.frame_number;
    copy_of_facts.sample_time = record.sample_time;
    copy_of_facts.arrival = record.arrival;
    copy_of_facts.frame_interval = record.frame_interval;
    const bool to_direct = direct && direct->bytes && direct->width == width && direct->height == height &&
                           direct->capacity >= bytes;
    uint8_t* target = nullptr;
    if (to_direct) {
        target = direct->bytes;
    } else {
        if (frame.pixels.size() < bytes) frame.pixels.resize(bytes);
        target = frame.pixels.data();
    }
    std::memcpy(target, frame_pixels(view_, index), bytes);
    if (copy_hook_) copy_hook_(copy_context_);
    MemoryBarrier();
    if (record.sequence != before) return false;  // torn: written over while we copied
    frame.frame_number = copy_of_facts.frame_number;
    frame.sample_time = copy_of_facts.sample_time;
    frame.arrival = copy_of_facts.arrival;
    frame.frame_interval = copy_of_facts.frame_interval;
    frame.width = width;
    frame.height = height;
    frame.stride = stride;
    frame.direct = to_direct;
    if (!to_direct) frame.pixels.resize(bytes);
    return true;
}

bool publisher_shape(int32_t channel, PublishedShape& shape) {
    ChannelView view;
    if (view.open(channel, false) != 0) return false;
    ChannelHeader* header = valid_header(view);
    if (!header) return false;
    const IdentityValue publisher = read_identity(header->publisher);
    if (!process_alive(static_cast<DWORD>(publisher.who), publisher.started)) return false;
    const int64_t latest = header->published;
    if (latest <= 0) return false;
    const FrameRecord& record = header->frames[static_cast<uint64_t>(latest - 1) % kRingFrames];
    const int64_t before = record.sequence;
    MemoryBarrier();
    const PublishedShape read{record.width, record.height, record.frame_interval};
    const uint32_t format = record.format, stride = record.stride, bytes = record.bytes;
    MemoryBarrier();
    if (before % 2 != 0 || record.sequence != before) return false;
    if (!frame_shape_valid(format, read.width, read.height, stride, bytes)) return false;
    shape = read;
    return true;
}

}  // namespace vlxshare::transport
