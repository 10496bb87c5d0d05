// The stills between the streaming thread and the host: each once, oldest
// first, a lent still neither overwritten nor lost, and a full store giving
// up its oldest still for a new one.
#include "stills/still_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace vlx_test {
namespace {

using vlx::StillStore;

bool put(StillStore& store, int64_t number) {
    const std::vector<uint8_t> bytes(16, static_cast<uint8_t>(number));
    BITMAPINFOHEADER header{};
    header.biWidth = static_cast<LONG>(number);
    return store.put(bytes.data(), bytes.size(), header, {.number = number});
}

// The numbers the host takes, in order, until none waits.
std::vector<int64_t> take_all(StillStore& store) {
    std::vector<int64_t> taken;
    StillStore::Lent lent;
    while (store.lend(lent)) {
        EXPECT_EQ(lent.bytes[0], lent.stamp.number) << "bytes, header and stamp of one still";
        EXPECT_EQ(lent.header.biWidth, lent.stamp.number);
        taken.push_back(lent.stamp.number);
        store.give_back(true);
    }
    return taken;
}

TEST(StillStore, EachStillOnceOldestFirstAndAFullStoreGivesUpItsOldest) {
    const struct {
        const char* what;
        int put_count;
        bool lend_first;  // the host holds still 1 while the rest come
        std::vector<int64_t> taken;
    } cases[] = {
        {"fewer than the buffers", 2, false, {1, 2}},
        {"as many as the buffers", 3, false, {1, 2, 3}},
        {"more: the oldest waiting go", 5, false, {3, 4, 5}},
        {"a lent still stays while newer ones pass it", 5, true, {1, 4, 5}},
    };
    for (const auto& c : cases) {
        StillStore store;
        StillStore::Lent lent;
        for (int64_t number = 1; number <= c.put_count; ++number) {
            EXPECT_TRUE(put(store, number)) << c.what;
            if (number == 1 && c.lend_first) {
                ASSERT_TRUE(store.lend(lent)) << c.what;
            }
        }
        std::vector<int64_t> taken;
        if (c.lend_first) {
            EXPECT_EQ(lent.bytes[0], 1) << c.what << ": never written over";
            taken.push_back(lent.stamp.number);
            store.give_back(true);
        }
        for (int64_t number : take_all(store)) taken.push_back(number);
        EXPECT_EQ(taken, c.taken) << c.what;
        EXPECT_FALSE(store.holds_still()) << c.what;
    }
}

TEST(StillStore, AStillGivenBackUntakenWaitsInItsPlace) {
    StillStore store;
    put(store, 1);
    put(store, 2);
    StillStore::Lent lent;
    ASSERT_TRUE(store.lend(lent));
    EXPECT_FALSE(store.lend(lent)) << "one still lent at a time";
    store.give_back(false);
    EXPECT_EQ(take_all(store), (std::vector<int64_t>{1, 2}));
}

}  // namespace
}  // namespace vlx_test
