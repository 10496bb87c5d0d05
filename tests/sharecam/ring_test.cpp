// The shared camera's transport, in one process: frames and their facts
// arrive in order, a reader that falls behind skips and counts, a frame
// written over while it is copied is never handed on, a damaged or hostile
// mapping reads as "no signal" without a read outside it, objects that are
// not the user's own are never used, and one publisher holds a channel.
#include "sharecam/transport/channel_reader.h"
#include "sharecam/transport/channel_writer.h"
#include "sharecam/transport/header_check.h"
#include "sharecam/transport/liveness.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vlxshare::transport;

constexpr int32_t kWidth = 8, kHeight = 4;

// Channel numbers of this test program only: the transport takes any.
int32_t fresh_channel() {
    static int32_t next = 900 + static_cast<int32_t>(GetCurrentProcessId() % 1000) * 100;
    return ++next;
}

// A frame whose every byte is the low byte of `value`.
struct Picture {
    FrameFacts facts;
    std::vector<uint8_t> pixels;
    explicit Picture(int64_t value, int32_t width = kWidth, int32_t height = kHeight) {
        facts.width = width;
        facts.height = height;
        facts.stride = rgb24_stride(width);
        facts.bytes = facts.stride * static_cast<uint32_t>(height);
        facts.sample_time = value * 333333;
        facts.arrival = value * 1000 + 7;
        facts.frame_interval = 333333;
        pixels.assign(facts.bytes, static_cast<uint8_t>(value));
    }
};

bool uniform(const SharedFrame& frame, uint8_t value) {
    for (size_t i = 0; i < frame.stride * static_cast<size_t>(frame.height); ++i)
        if (frame.pixels[i] != value) return false;
    return true;
}

ChannelHeader* header_of(ChannelView& view) { return reinterpret_cast<ChannelHeader*>(view.base()); }

TEST(SharedRing, FramesArriveInOrderWithTheirFacts) {
    const int32_t channel = fresh_channel();
    ChannelReader reader;
    ASSERT_EQ(reader.open(channel), 0u);
    SharedFrame frame;
    EXPECT_EQ(reader.read(frame), ReadResult::no_signal);  // nobody publishes yet
    ASSERT_TRUE(reader.registered());

    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    EXPECT_EQ(reader.read(frame), ReadResult::nothing_new);
    for (int64_t value = 1; value <= 9; ++value) {
        Picture picture(value);
        ASSERT_TRUE(writer.write(picture.facts, picture.pixels.data()));
        ASSERT_EQ(WaitForSingleObject(reader.frame_event(), 0), WAIT_OBJECT_0) << "the reader is woken";
        ASSERT_EQ(reader.read(frame), ReadResult::frame);
        EXPECT_EQ(frame.frame_number, value);
        EXPECT_EQ(frame.sample_time, value * 333333);
        EXPECT_EQ(frame.arrival, value * 1000 + 7);
        EXPECT_EQ(frame.frame_interval, 333333);
        EXPECT_EQ(frame.width, kWidth);
        EXPECT_EQ(frame.height, kHeight);
        EXPECT_TRUE(uniform(frame, static_cast<uint8_t>(value)));
        EXPECT_EQ(reader.read(frame), ReadResult::nothing_new);
    }
    const ChannelInfo info = [&] {
        ChannelInfo read;
        EXPECT_TRUE(read_channel_info(channel, read));
        return read;
    }();
    EXPECT_EQ(info.readers, 1);
    EXPECT_EQ(info.published, 9);
    EXPECT_EQ(info.slowest_skipped, 0);
    EXPECT_EQ(info.publisher_pid, static_cast<int64_t>(GetCurrentProcessId()));

    writer.close();
    EXPECT_EQ(reader.read(frame), ReadResult::no_signal) << "the publisher gave the channel up";
    ASSERT_TRUE(read_channel_info(channel, const_cast<ChannelInfo&>(info)));
    EXPECT_EQ(info.publisher_pid, 0);
}

TEST(SharedRing, AReaderBehindSkipsToTheNewestAndCountsTheSkipped) {
    const int32_t channel = fresh_channel();
    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    ChannelReader slow, quick;
    ASSERT_EQ(slow.open(channel), 0u);
    ASSERT_EQ(quick.open(channel), 0u);
    SharedFrame frame;
    Picture first(1);
    writer.write(first.facts, first.pixels.data());
    ASSERT_EQ(slow.read(frame), ReadResult::frame);
    ASSERT_EQ(quick.read(frame), ReadResult::frame);

    // Two frames behind: still in the ring, read in order.
    for (int64_t value = 2; value <= 3; ++value) {
        Picture picture(value);
        writer.write(picture.facts, picture.pixels.data());
    }
    ASSERT_EQ(slow.read(frame), ReadResult::frame);
    EXPECT_EQ(frame.frame_number, 2);
    // Far behind: skipped to the newest.
    for (int64_t value = 4; value <= 20; ++value) {
        Picture picture(value);
        writer.write(picture.facts, picture.pixels.data());
        ASSERT_EQ(quick.read(frame), ReadResult::frame);
    }
    ASSERT_EQ(slow.read(frame), ReadResult::frame);
    EXPECT_EQ(frame.frame_number, 20);
    EXPECT_TRUE(uniform(frame, 20));
    EXPECT_EQ(slow.skipped(), 17);  // 3 ... 19
    EXPECT_EQ(quick.skipped(), 0);
    ChannelInfo info;
    ASSERT_TRUE(read_channel_info(channel, info));
    EXPECT_EQ(info.readers, 2);
    EXPECT_EQ(info.slowest_skipped, 17);
}

// The publisher laps the ring while the reader copies: the copy is dropped.
struct Overtake {
    ChannelWriter* writer;
    int64_t next_value;
    int times;
};

void overtake(void* context) {
    auto& state = *static_cast<Overtake*>(context);
    if (state.times-- <= 0) return;
    for (uint32_t i = 0; i < kRingFrames; ++i) {
        Picture picture(state.next_value++);
        state.writer->write(picture.facts, picture.pixels.data());
    }
}

TEST(SharedRing, AFrameWrittenOverWhileCopiedIsNeverHandedOn) {
    const int32_t channel = fresh_channel();
    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    ChannelReader reader;
    ASSERT_EQ(reader.open(channel), 0u);
    Picture first(1);
    writer.write(first.facts, first.pixels.data());
    SharedFrame frame;
    ASSERT_EQ(reader.read(frame), ReadResult::frame);
    Picture second(2);
    writer.write(second.facts, second.pixels.data());

    Overtake state{&writer, 3, 1};
    reader.set_copy_hook(overtake, &state);
    ASSERT_EQ(reader.read(frame), ReadResult::frame);
    // Frame 2's slot now holds frame 6: what came out is a whole later frame.
    EXPECT_GT(frame.frame_number, 2);
    EXPECT_TRUE(uniform(frame, static_cast<uint8_t>(frame.frame_number)));
    EXPECT_GT(reader.skipped(), 0);

    // Overtaken on every attempt: nothing at all rather than a torn frame.
    Picture more(state.next_value++);
    writer.write(more.facts, more.pixels.data());
    state.times = 100;
    EXPECT_EQ(reader.read(frame), ReadResult::no_signal);
}

TEST(SharedRing, ConcurrentPublishingNeverHandsOnAMixedFrame) {
    const int32_t channel = fresh_channel();
    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    ChannelReader reader;
    ASSERT_EQ(reader.open(channel), 0u);
    constexpr int64_t kFrames = 3000;
    std::atomic<bool> done{false};
    std::thread publisher([&] {
        for (int64_t value = 1; value <= kFrames; ++value) {
            Picture picture(value, 320, 240);
            writer.write(picture.facts, picture.pixels.data());
        }
        done = true;
    });
    SharedFrame frame;
    int64_t last = 0, mixed = 0, backwards = 0, taken = 0;
    while (!done || last < kFrames) {
        const ReadResult result = reader.read(frame);
        if (result != ReadResult::frame) {
            if (done && result == ReadResult::nothing_new) break;
            continue;
        }
        ++taken;
        if (!uniform(frame, static_cast<uint8_t>(frame.frame_number))) ++mixed;
        if (frame.frame_number <= last) ++backwards;
        last = frame.frame_number;
    }
    publisher.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_GT(taken, 0);
}

TEST(SharedRing, AFrameOfTheTargetsSizeIsCopiedStraightIntoIt) {
    const int32_t channel = fresh_channel();
    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    ChannelReader reader;
    ASSERT_EQ(reader.open(channel), 0u);
    std::vector<uint8_t> sample(rgb24_stride(kWidth) * kHeight, 0);
    const DirectTarget target{sample.data(), sample.size(), kWidth, kHeight};
    SharedFrame frame;
    Picture fits(7);
    writer.write(fits.facts, fits.pixels.data());
    ASSERT_EQ(reader.read(frame, &target), ReadResult::frame);
    EXPECT_TRUE(frame.direct);
    EXPECT_TRUE(frame.pixels.empty());
    EXPECT_EQ(sample, fits.pixels);
    // Another size goes to the frame's own buffer; the target is untouched.
    Picture larger(8, kWidth * 2, kHeight);
    writer.write(larger.facts, larger.pixels.data());
    ASSERT_EQ(reader.read(frame, &target), ReadResult::frame);
    EXPECT_FALSE(frame.direct);
    EXPECT_TRUE(uniform(frame, 8));
    EXPECT_EQ(sample, fits.pixels);
    // A target too small for its stated size is never written past.
    const DirectTarget short_target{sample.data(), sample.size() - 1, kWidth, kHeight};
    Picture again(9);
    writer.write(again.facts, again.pixels.data());
    ASSERT_EQ(reader.read(frame, &short_target), ReadResult::frame);
    EXPECT_FALSE(frame.direct);
    EXPECT_TRUE(uniform(frame, 9));
}

// ---- Damaged and hostile mappings ---------------------------------------

struct Mapping {
    HANDLE handle;
    ChannelView view;
    explicit Mapping(uint64_t bytes, DWORD protection = PAGE_READWRITE) {
        handle = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, protection, static_cast<DWORD>(bytes >> 32),
                                    static_cast<DWORD>(bytes), nullptr);
        if (handle) view.attach(handle);
    }
    ~Mapping() {
        view.close();
        if (handle) CloseHandle(handle);
    }
};

void set_identity(Identity& identity, int64_t who, int64_t started) {
    identity.who = who;
    identity.started = started;
}

// A valid channel with frame 1 published, whose record or header a case
// then spoils.
void publish_into(Mapping& mapping) {
    initialise_header(mapping.view, false);
    ChannelHeader& header = *header_of(mapping.view);
    set_identity(header.publisher, GetCurrentProcessId(), this_process_started());
    FrameRecord& record = header.frames[0];
    record.format = kFormatRgb24;
    record.width = kWidth;
    record.height = kHeight;
    record.stride = rgb24_stride(kWidth);
    record.bytes = record.stride * kHeight;
    record.frame_number = 1;
    record.sequence = 2;
    header.published = 1;
}

struct Spoil {
    const char* what;
    void (*apply)(ChannelHeader&);
};

TEST(SharedRing, DamagedMappingsReadAsNoSignal) {
    const Spoil cases[] = {
        {"intact (the control)", [](ChannelHeader&) {}},
        {"unknown format", [](ChannelHeader& h) { h.frames[0].format = 32; }},
        {"width past the ring's", [](ChannelHeader& h) { h.frames[0].width = kMaxSide + 1; }},
        {"negative height", [](ChannelHeader& h) { h.frames[0].height = -kHeight; }},
        {"bytes past the frame", [](ChannelHeader& h) { h.frames[0].bytes = 0x7fffffff; }},
        {"stride that is not the width's", [](ChannelHeader& h) { h.frames[0].stride = 0x10000000; }},
        {"sequence that never settles", [](ChannelHeader& h) { h.frames[0].sequence = 3; }},
        {"frame count far ahead", [](ChannelHeader& h) { h.published = INT64_MAX; }},
        {"negative frame count", [](ChannelHeader& h) { h.published = INT64_MIN; }},
        {"ring of another length", [](ChannelHeader& h) { h.ring_frames = 1000; }},
        {"frame capacity past the mapping", [](ChannelHeader& h) { h.frame_capacity = UINT64_MAX / 2; }},
        {"another layout version", [](ChannelHeader& h) { h.version = 99; }},
        {"another magic", [](ChannelHeader& h) { h.magic = 0x12345678; }},
        {"publisher whose process is gone", [](ChannelHeader& h) { set_identity(h.publisher, 0x7ffffff0, 1); }},
        {"publisher whose id a later process took",
         [](ChannelHeader& h) { set_identity(h.publisher, GetCurrentProcessId(), this_process_started() - 1); }},
    };
    for (const Spoil& spoil : cases) {
        SCOPED_TRACE(spoil.what);
        Mapping mapping(kMappingBytes);
        ASSERT_TRUE(mapping.view.is_open());
        publish_into(mapping);
        spoil.apply(*header_of(mapping.view));
        ChannelReader reader;
        ASSERT_EQ(reader.attach(mapping.handle, fresh_channel()), 0u);
        SharedFrame frame;
        const ReadResult result = reader.read(frame);
        if (spoil.apply == cases[0].apply) {
            EXPECT_EQ(result, ReadResult::frame);
        } else {
            EXPECT_NE(result, ReadResult::frame);
            EXPECT_TRUE(frame.pixels.empty()) << "nothing was copied";
        }
    }
}

// Mappings another process may make under a channel's name: none is read.
TEST(SharedRing, AMappingOfAnotherSizeOrOfUncommittedPagesIsRefusedBeforeAnyRead) {
    struct Case {
        const char* what;
        uint64_t bytes;
        DWORD protection;
    };
    const Case cases[] = {
        {"64 KiB", uint64_t{64} * 1024, PAGE_READWRITE},
        {"one page short", kMappingBytes - 4096, PAGE_READWRITE},
        {"reserved pages (SEC_RESERVE)", kMappingBytes, PAGE_READWRITE | SEC_RESERVE},
        {"read-only", kMappingBytes, PAGE_READONLY},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Mapping mapping(test.bytes, test.protection);
        ASSERT_TRUE(mapping.handle);
        EXPECT_FALSE(mapping.view.is_open());
        ChannelReader reader;
        EXPECT_NE(reader.attach(mapping.handle, fresh_channel()), 0u);
        SharedFrame frame;
        EXPECT_EQ(reader.read(frame), ReadResult::no_signal);
        EXPECT_FALSE(reader.registered());
    }
}

TEST(SharedRing, RandomBytesEverywhereReadAsNoSignal) {
    Mapping mapping(kMappingBytes);
    ASSERT_TRUE(mapping.view.is_open());
    uint32_t state = 12345;
    for (int round = 0; round < 50; ++round) {
        for (size_t i = 0; i < sizeof(ChannelHeader); ++i) {
            state = state * 1664525 + 1013904223;
            mapping.view.base()[i] = static_cast<uint8_t>(state >> 24);
        }
        // Keep the layout fields half the time, so the records are reached.
        if (round % 2) {
            auto& header = *header_of(mapping.view);
            header.magic = static_cast<LONG>(kMagic);
            header.version = kLayoutVersion;
            header.header_bytes = sizeof(ChannelHeader);
            header.ring_frames = kRingFrames;
            header.frame_capacity = kFrameCapacity;
            header.data_offset = kDataOffset;
            set_identity(header.publisher, GetCurrentProcessId(), this_process_started());
        }
        ChannelReader reader;
        ASSERT_EQ(reader.attach(mapping.handle, fresh_channel()), 0u);
        SharedFrame frame;
        const ReadResult result = reader.read(frame);
        if (result == ReadResult::frame) {  // only a record that happens to be whole
            EXPECT_LE(frame.pixels.size(), kFrameCapacity);
        }
    }
}

// Names of a channel that another principal, or the user's own process
// carelessly, made first: the publisher refuses the channel, a reader shows
// "no signal" or registers in another slot.
TEST(SharedRing, ObjectsThatAreNotTheUsersOwnAreNeverUsed) {
    struct Case {
        const char* what;
        HANDLE (*squat)(int32_t channel);
        ClaimResult claim;
        bool reader_opens;
    };
    static PSECURITY_DESCRIPTOR open_to_all = [] {
        PSECURITY_DESCRIPTOR made = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;WD)", SDDL_REVISION_1, &made, nullptr);
        return made;
    }();
    static SECURITY_ATTRIBUTES everyone{sizeof(SECURITY_ATTRIBUTES), open_to_all, FALSE};
    const Case cases[] = {
        {"mapping with a NULL DACL",
         [](int32_t c) {
             SECURITY_DESCRIPTOR none{};
             InitializeSecurityDescriptor(&none, SECURITY_DESCRIPTOR_REVISION);
             SetSecurityDescriptorDacl(&none, TRUE, nullptr, FALSE);
             SECURITY_ATTRIBUTES attributes{sizeof attributes, &none, FALSE};
             return CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(kMappingBytes), mapping_name(c).c_str());
         },
         ClaimResult::foreign, false},
        {"mapping open to everyone",
         [](int32_t c) {
             return CreateFileMappingW(INVALID_HANDLE_VALUE, &everyone, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(kMappingBytes), mapping_name(c).c_str());
         },
         ClaimResult::foreign, false},
        {"publisher mutex open to everyone",
         [](int32_t c) { return CreateMutexW(&everyone, FALSE, publisher_mutex_name(c).c_str()); },
         ClaimResult::foreign, true},
        {"an event under the publisher mutex's name",
         [](int32_t c) { return CreateEventW(nullptr, FALSE, FALSE, publisher_mutex_name(c).c_str()); },
         ClaimResult::failed, true},
        {"a mutex under reader 0's event name",
         [](int32_t c) { return CreateMutexW(nullptr, FALSE, reader_event_name(c, 0).c_str()); },
         ClaimResult::claimed, true},
        {"reader 0's event open to everyone",
         [](int32_t c) { return CreateEventW(&everyone, FALSE, FALSE, reader_event_name(c, 0).c_str()); },
         ClaimResult::claimed, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const int32_t channel = fresh_channel();
        HANDLE squatter = test.squat(channel);
        ASSERT_TRUE(squatter);
        {
            ChannelWriter writer;
            EXPECT_EQ(writer.open(channel), test.claim);
            ChannelReader reader;
            EXPECT_EQ(reader.open(channel) == 0, test.reader_opens);
            Picture picture(3);
            writer.write(picture.facts, picture.pixels.data());
            SharedFrame frame;
            const ReadResult read = reader.read(frame);
            if (test.claim == ClaimResult::claimed) {
                EXPECT_EQ(read, ReadResult::frame);
                EXPECT_TRUE(reader.registered()) << "in a slot whose event is its own";
                if (std::string(test.what).find("event open") != std::string::npos) {
                    EXPECT_EQ(WaitForSingleObject(squatter, 0), WAIT_TIMEOUT) << "the squatter's event is never set";
                }
            } else {
                EXPECT_EQ(read, ReadResult::no_signal);
            }
        }
        CloseHandle(squatter);
    }
}

// ---- Readers and publishers ------------------------------------------------

// A reader's slot is its own by its process, that process's start and its
// number there: a process id that a later process took over, or a second
// reader in one process, never holds another's slot.
TEST(SharedRing, ReadersAreToldApartByProcessStartAndNumber) {
    const int32_t channel = fresh_channel();
    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    ChannelView view;
    ASSERT_EQ(view.open(channel, false), 0u);
    ChannelHeader& header = *header_of(view);
    for (uint32_t k = 0; k < kReaderSlots; ++k) {  // every slot: a process gone, or its id now ours
        const int64_t pid = k % 2 ? int64_t{0x7ffffff0} : GetCurrentProcessId();
        set_identity(header.readers[k].owner, pid << 32 | 1, this_process_started() - 1);
    }
    ChannelInfo info;
    ASSERT_TRUE(read_channel_info(channel, info));
    EXPECT_EQ(info.readers, 0);
    // Two readers of this process; the header is damaged and repaired by
    // the next publisher while only one of them looks.
    ChannelReader second, first;
    ASSERT_EQ(second.open(channel), 0u);
    ASSERT_EQ(first.open(channel), 0u);
    SharedFrame frame;
    second.read(frame);
    first.read(frame);
    ASSERT_TRUE(first.registered() && second.registered());
    writer.close();
    header.magic = 0;
    first.read(frame);
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    first.read(frame);
    second.read(frame);
    ASSERT_TRUE(read_channel_info(channel, info));
    EXPECT_EQ(info.readers, 2) << "each reader in a slot of its own";
    first.close();
    ASSERT_TRUE(read_channel_info(channel, info));
    EXPECT_EQ(info.readers, 1);
}

TEST(SharedRing, APublisherWhoseProcessIsGoneGivesWayAndARepairedHeaderIsReregistered) {
    const int32_t channel = fresh_channel();
    ChannelReader reader;
    ASSERT_EQ(reader.open(channel), 0u);
    SharedFrame frame;
    reader.read(frame);
    ASSERT_TRUE(reader.registered());
    ChannelView view;
    ASSERT_EQ(view.open(channel, false), 0u);
    set_identity(header_of(view)->publisher, 0x7ffffff0, 1);
    EXPECT_EQ(reader.read(frame), ReadResult::no_signal);
    // Garbage over the header: the next publisher repairs it.
    std::memset(view.base(), 0xA5, sizeof(ChannelHeader));
    EXPECT_EQ(reader.read(frame), ReadResult::no_signal);
    EXPECT_FALSE(reader.registered());
    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    Picture picture(5);
    writer.write(picture.facts, picture.pixels.data());
    EXPECT_EQ(reader.read(frame), ReadResult::frame);
    EXPECT_TRUE(reader.registered());
    EXPECT_TRUE(uniform(frame, 5));
}

// One claim at a time: another thread's claim waits for the holder's close,
// also over a damaged header; a claim taken over on the holder's own thread
// ends the holder's writing; the ring's numbers go on from claim to claim.
TEST(SharedRing, AChannelHasOnePublisherAndItsNumbersKeepRising) {
    const int32_t channel = fresh_channel();
    auto claim_elsewhere = [&] {
        ClaimResult result = ClaimResult::failed;
        std::thread([&] {
            ChannelWriter other;
            result = other.open(channel);
        }).join();
        return result;
    };
    ChannelWriter first;
    ASSERT_EQ(first.open(channel), ClaimResult::claimed);
    for (int64_t value = 1; value <= 3; ++value) {
        Picture picture(value);
        ASSERT_TRUE(first.write(picture.facts, picture.pixels.data()));
    }
    EXPECT_EQ(claim_elsewhere(), ClaimResult::taken);
    ChannelReader reader;
    ASSERT_EQ(reader.open(channel), 0u);
    SharedFrame frame;
    ASSERT_EQ(reader.read(frame), ReadResult::frame);
    first.close();

    ChannelWriter second, third;
    ASSERT_EQ(second.open(channel), ClaimResult::claimed);
    Picture picture(4);
    ASSERT_TRUE(second.write(picture.facts, picture.pixels.data()));
    ChannelView view;
    ASSERT_EQ(view.open(channel, false), 0u);
    EXPECT_EQ(header_of(view)->published, 4) << "the ring's count went on";
    ASSERT_EQ(reader.read(frame), ReadResult::frame);
    EXPECT_EQ(frame.frame_number, 1) << "the second publisher's first frame";
    EXPECT_TRUE(uniform(frame, 4));
    ASSERT_EQ(third.open(channel), ClaimResult::claimed) << "this thread's own claim, taken over";
    EXPECT_FALSE(second.write(picture.facts, picture.pixels.data())) << "no longer its claim";
    EXPECT_EQ(reader.read(frame), ReadResult::nothing_new);
    header_of(view)->magic = 0;  // damaged while claimed: still claimed
    EXPECT_EQ(claim_elsewhere(), ClaimResult::taken);
}

TEST(SharedRing, FramesOfAShapeTheRingDoesNotCarryAreRefusedAndSaidSo) {
    const int32_t channel = fresh_channel();
    ChannelWriter writer;
    ASSERT_EQ(writer.open(channel), ClaimResult::claimed);
    ChannelInfo info;
    Picture wrong_stride(1);
    wrong_stride.facts.stride += 4;
    EXPECT_FALSE(writer.write(wrong_stride.facts, wrong_stride.pixels.data()));
    Picture fine(1);
    EXPECT_FALSE(writer.write(fine.facts, nullptr));
    struct Shape {
        int32_t width, height;
        bool carried;
    };
    for (const Shape shape : {Shape{4096, 2160, false}, Shape{2160, 3840, true}, Shape{kMaxSide + 2, 2, false},
                              Shape{3840, -2160, false}, Shape{kWidth, kHeight, true}}) {
        SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
        writer.announce_shape(shape.width, shape.height);
        ASSERT_TRUE(read_channel_info(channel, info));
        EXPECT_EQ(info.frames_not_carried, !shape.carried);
    }
    EXPECT_TRUE(writer.write(fine.facts, fine.pixels.data()));
    Picture portrait(2, 2160, 3840);
    EXPECT_TRUE(writer.write(portrait.facts, portrait.pixels.data()));
}

}  // namespace
