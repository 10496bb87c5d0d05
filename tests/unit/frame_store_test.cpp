// The tracked frames between the streaming thread and the host.
#include "events/frame_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace vlx_test {
namespace {

using vlx::FrameStore;

TEST(FrameStore, AFrameOfAnotherSizeThanTheConnectionsIsNone) {
    FrameStore store;
    const std::vector<uint8_t> old_frame(640 * 480 * 3, 7);
    vlx::FrameStamp stamp;
    stamp.number = store.count_arrival();
    ASSERT_TRUE(store.publish(old_frame.data(), old_frame.size(), stamp));

    // The grabber now connects 320x240: the 640x480 frame held is not its.
    std::vector<uint8_t> taken(old_frame.size());
    EXPECT_EQ(store.take(taken.data(), taken.size(), 320 * 240 * 3).outcome, FrameStore::Outcome::no_frame);
    EXPECT_EQ(store.take(nullptr, 0, 320 * 240 * 3).outcome, FrameStore::Outcome::no_frame);

    const std::vector<uint8_t> new_frame(320 * 240 * 3, 9);
    stamp.number = store.count_arrival();
    ASSERT_TRUE(store.publish(new_frame.data(), new_frame.size(), stamp));
    const FrameStore::Taken got = store.take(taken.data(), taken.size(), new_frame.size());
    EXPECT_EQ(got.outcome, FrameStore::Outcome::copied);
    EXPECT_EQ(got.size, new_frame.size());
    EXPECT_EQ(got.stamp.number, 2);
    EXPECT_EQ(taken[0], 9);
    EXPECT_EQ(store.take(taken.data(), taken.size(), 0).outcome, FrameStore::Outcome::copied) << "0: any size";
}

}  // namespace
}  // namespace vlx_test
