// vlx_GetBufferSize against a direct call of the size query it selects, in
// each state a host meets.
#include "dll/capture_fixture.h"

#include <functional>

namespace vlx_test {
namespace {

class BufferSize : public Capture {
protected:
    // Query number k selects the size query that direct[k] calls.
    void expect_every_query_matches(const char* state) {
        const std::function<int32_t()> direct[] = {
            [&] { return v.GetDeviceListSize(0); },   [&] { return v.GetDeviceListSize(1); },
            [&] { return v.GetStreamFilterListSize(); }, [&] { return v.GetCodecListSize(0); },
            [&] { return v.GetCodecListSize(1); },    [&] { return v.GetImageMemSize(0); },
            [&] { return v.GetImageMemSize(1); },     [&] { return v.GetDevCapConfigSize(0); },
            [&] { return v.GetDevCapConfigSize(1); }, [&] { return v.GetDevCapConfigSize(2); },
        };
        for (int32_t query = 0; query < 10; ++query) {
            EXPECT_EQ(v.GetBufferSize(query), direct[query]()) << state << ", query " << query;
        }
    }
};

TEST_F(BufferSize, EachQueryInEachState) {
    ASSERT_EQ(v.Exit(), 0);
    expect_every_query_matches("not initialised");
    EXPECT_EQ(v.GetBufferSize(0), -1);
    ASSERT_EQ(v.Init(), 0);

    expect_every_query_matches("initialised, slot closed");
    EXPECT_GT(v.GetBufferSize(1), 1) << "the test microphone";
    EXPECT_EQ(v.GetBufferSize(2), -1) << "slot closed";

    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    expect_every_query_matches("slot open");
    EXPECT_EQ(v.GetBufferSize(5), 921600);
    EXPECT_EQ(v.GetBufferSize(6), 44);
    EXPECT_EQ(v.GetBufferSize(7), 50) << "30.00 30.00 15.00 30.00 30.00 30.00 30.00, each with CR LF, and the terminator";

    ASSERT_GE(v.Play2(), 0);
    expect_every_query_matches("slot running");
}

TEST_F(BufferSize, OtherNumbersCallNothing) {
    char log[256] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    for (int32_t query : {-1, 10, INT32_MIN, INT32_MAX}) EXPECT_EQ(v.GetBufferSize(query), -1) << query;
    EXPECT_EQ(std::string(log), "") << "no platform call was made";
    EXPECT_EQ(v.GetBufferSize(3), v.GetCodecListSize(0));
    EXPECT_NE(std::string(log), "") << "while a query that reaches a function reports its calls";
}

}  // namespace
}  // namespace vlx_test
