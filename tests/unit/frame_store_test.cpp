// The tracked frames between the streaming thread and the host, with the
// platform's own memory allocator standing in for a camera's.
#include "events/frame_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vlx_test {
namespace {

using vlx::ComPtr;
using vlx::FrameStore;

constexpr long kFrameBytes = 1 << 20;  // large enough to be given back to the system when freed

// COM for the allocator, on the test's thread.
struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

// CLSID_MemoryAllocator with `count` buffers, committed, as a camera's pin
// leaves it before it runs.
ComPtr<IMemAllocator> camera_allocator(long count) {
    ComPtr<IMemAllocator> allocator;
    EXPECT_EQ(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                               allocator.put_void()),
              S_OK);
    ALLOCATOR_PROPERTIES wanted{count, kFrameBytes, 1, 0}, actual{};
    EXPECT_EQ(allocator->SetProperties(&wanted, &actual), S_OK);
    EXPECT_EQ(allocator->Commit(), S_OK);
    return allocator;
}

// The buffers the camera could fill now, without waiting.
int free_buffers(IMemAllocator* allocator) {
    std::vector<ComPtr<IMediaSample>> taken;
    for (ComPtr<IMediaSample> sample; allocator->GetBuffer(sample.put(), nullptr, nullptr, AM_GBF_NOWAIT) == S_OK;)
        taken.push_back(std::move(sample));
    return static_cast<int>(taken.size());
}

// The camera sends a frame whose bytes are all `value`: the grabber hands
// it to the store, and the camera lets go of it once delivered.
void send(FrameStore& store, IMemAllocator* allocator, uint8_t value) {
    ComPtr<IMediaSample> sample;
    ASSERT_EQ(allocator->GetBuffer(sample.put(), nullptr, nullptr, AM_GBF_NOWAIT), S_OK) << "the camera starved";
    BYTE* bytes = nullptr;
    sample->GetPointer(&bytes);
    std::fill(bytes, bytes + kFrameBytes, value);
    vlx::FrameStamp stamp;
    stamp.connection = 1;
    stamp.number = store.count_arrival();
    ASSERT_TRUE(store.publish(sample.get(), bytes, kFrameBytes, stamp));
}

uint8_t taken_value(FrameStore& store) {
    std::vector<uint8_t> taken(kFrameBytes);
    EXPECT_EQ(store.take(taken.data(), taken.size(), 1).outcome, FrameStore::Outcome::copied);
    return taken[kFrameBytes / 2];
}

TEST(FrameStore, HoldsOneSampleForLongAndNeverTheCamerasLastBuffer) {
    const ComApartment com;
    const ComPtr<IMemAllocator> allocator = camera_allocator(3);
    FrameStore store;
    store.allow_samples(allocator);
    send(store, allocator.get(), 1);
    send(store, allocator.get(), 2);
    EXPECT_TRUE(store.newest_is_sample());
    EXPECT_EQ(free_buffers(allocator.get()), 2) << "the newest is held, the one before it went back";

    FrameStore::Lent lent;
    ASSERT_TRUE(store.lend(1, lent));
    for (uint8_t value = 3; value < 10; ++value) {
        send(store, allocator.get(), value);
        EXPECT_FALSE(store.newest_is_sample()) << "frames that come while a sample is lent are copied";
        EXPECT_EQ(free_buffers(allocator.get()), 2) << "only the lent sample is held";
    }
    EXPECT_EQ(lent.bytes[kFrameBytes / 2], 2) << "the lent bytes never moved";
    EXPECT_EQ(taken_value(store), 9);
    store.give_back();
    EXPECT_EQ(free_buffers(allocator.get()), 3);

    send(store, allocator.get(), 10);
    EXPECT_TRUE(store.newest_is_sample()) << "held again once nothing is lent";
    // The graph stops: the camera has every buffer back, the frame stays.
    store.copy_held_newest();
    EXPECT_FALSE(store.newest_is_sample());
    EXPECT_EQ(free_buffers(allocator.get()), 3);
    EXPECT_EQ(taken_value(store), 10);

    // A lent copy holds no buffer: newer frames are held as before.
    ASSERT_TRUE(store.lend(1, lent));
    send(store, allocator.get(), 11);
    EXPECT_TRUE(store.newest_is_sample());
    store.release_unlent();
    EXPECT_EQ(free_buffers(allocator.get()), 3) << "tracking ended: no sample stays";
    EXPECT_EQ(lent.bytes[0], 10);
    store.give_back();
}

// The slot closes with a frame lent: the camera's pin decommits and lets go
// of its allocator; the lent bytes stay until they are given back.
TEST(FrameStore, ALentSampleOutlivesTheGraphThatSentIt) {
    const ComApartment com;
    ComPtr<IMemAllocator> allocator = camera_allocator(3);
    FrameStore store;
    store.allow_samples(allocator);
    send(store, allocator.get(), 7);
    FrameStore::Lent lent;
    ASSERT_TRUE(store.lend(1, lent));
    store.release_unlent();
    EXPECT_EQ(allocator->Decommit(), S_OK);
    allocator.reset();
    EXPECT_EQ(lent.bytes[0], 7);
    EXPECT_EQ(lent.bytes[kFrameBytes - 1], 7);
    store.give_back();
}

// 640x480 and 480x640 hold the same bytes: only the connection a frame came
// through tells that a held frame is not today's.
TEST(FrameStore, AFrameOfAnEarlierConnectionIsNoneWhateverItsSize) {
    FrameStore store;
    const std::vector<uint8_t> old_frame(640 * 480 * 3, 7);
    vlx::FrameStamp stamp;
    stamp.connection = 1;
    stamp.number = store.count_arrival();
    ASSERT_TRUE(store.publish(nullptr, old_frame.data(), old_frame.size(), stamp));
    EXPECT_EQ(store.newest_number(1), 1);

    // The grabber is connected again at 480x640: the frame held is not its.
    std::vector<uint8_t> taken(old_frame.size());
    EXPECT_EQ(store.newest_number(2), 0);
    EXPECT_EQ(store.take(taken.data(), taken.size(), 2).outcome, FrameStore::Outcome::no_frame);
    EXPECT_EQ(store.take(nullptr, 0, 2).outcome, FrameStore::Outcome::no_frame);

    const std::vector<uint8_t> new_frame(480 * 640 * 3, 9);
    stamp.connection = 2;
    stamp.number = store.count_arrival();
    ASSERT_TRUE(store.publish(nullptr, new_frame.data(), new_frame.size(), stamp));
    EXPECT_EQ(store.newest_number(2), 2);
    const FrameStore::Taken got = store.take(taken.data(), taken.size(), 2);
    EXPECT_EQ(got.outcome, FrameStore::Outcome::copied);
    EXPECT_EQ(got.size, new_frame.size());
    EXPECT_EQ(got.stamp.number, 2);
    EXPECT_EQ(taken[0], 9);
}

}  // namespace
}  // namespace vlx_test
