// The frame size a requested format states: 32 bits or "not stated".
#include "common/dib_size.h"

#include <gtest/gtest.h>

#include <climits>

namespace vlx_test {
namespace {

TEST(DibSize, FrameBytesOnlyWhen32BitsHoldThem) {
    const struct {
        int64_t width, bits, rows;
        std::optional<uint32_t> bytes;
    } cases[] = {
        {640, 24, 480, 921600u},
        {101, 24, 75, 304u * 75},          // rows padded to 4 bytes
        {0, 24, 480, 0u},
        {640, 24, 0, 0u},
        {-640, 24, 480, std::nullopt},
        {37837, 24, 37837, 4294953544u},   // just below 2^32
        {37838, 24, 37838, std::nullopt},  // just above
        {INT_MAX, 24, INT_MAX, std::nullopt},
        {INT_MAX, 65535, 2147483648LL, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vlx::dib_frame_bytes(c.width, c.bits, c.rows), c.bytes) << c.width << "x" << c.rows;
    }
}

}  // namespace
}  // namespace vlx_test
