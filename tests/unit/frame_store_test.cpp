// The tracked frames between the streaming thread and the host.
#include "events/frame_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace vlx_test {
namespace {

using vlx::FrameStore;

// 640x480 and 480x640 hold the same bytes: only the connection a frame came
// through tells that a held frame is not today's.
TEST(FrameStore, AFrameOfAnEarlierConnectionIsNoneWhateverItsSize) {
    FrameStore store;
    const std::vector<uint8_t> old_frame(640 * 480 * 3, 7);
    vlx::FrameStamp stamp;
    stamp.connection = 1;
    stamp.number = store.count_arrival();
    ASSERT_TRUE(store.publish(old_frame.data(), old_frame.size(), stamp));
    EXPECT_EQ(store.newest_number(1), 1);

    // The grabber is connected again at 480x640: the frame held is not its.
    std::vector<uint8_t> taken(old_frame.size());
    EXPECT_EQ(store.newest_number(2), 0);
    EXPECT_EQ(store.take(taken.data(), taken.size(), 2).outcome, FrameStore::Outcome::no_frame);
    EXPECT_EQ(store.take(nullptr, 0, 2).outcome, FrameStore::Outcome::no_frame);

    const std::vector<uint8_t> new_frame(480 * 640 * 3, 9);
    stamp.connection = 2;
    stamp.number = store.count_arrival();
    ASSERT_TRUE(store.publish(new_frame.data(), new_frame.size(), stamp));
    EXPECT_EQ(store.newest_number(2), 2);
    const FrameStore::Taken got = store.take(taken.data(), taken.size(), 2);
    EXPECT_EQ(got.outcome, FrameStore::Outcome::copied);
    EXPECT_EQ(got.size, new_frame.size());
    EXPECT_EQ(got.stamp.number, 2);
    EXPECT_EQ(taken[0], 9);
}

}  // namespace
}  // namespace vlx_test
