// The encoder on Media Foundation, through the DLL. The test prefix's sink
// writer (testplatform/sink_writer) writes real MP4 files, which
// platform_files checks; the failure codes no writer produces are proven
// in-process with a recording writer.
#include "dll/host_library.h"

#include <gtest/gtest.h>

namespace vlx_test {
namespace {

class EncoderPlatform : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(v.InitEncoder(), S_OK) << "MFStartup's own answer";
        id = v.CreateEncoder();
        ASSERT_GE(id, 0);
    }
    void TearDown() override {
        EXPECT_EQ(v.DeleteEncoder(id), 0);
        EXPECT_EQ(v.UnInitEncoder(), S_OK) << "MFShutdown's own answer";
    }
    const Vidlox& v = vidlox();
    int32_t id = -1;
};

TEST_F(EncoderPlatform, EarlyRefusals) {
    EXPECT_EQ(v.OpenEncoder(id, L"", 2, 640, 480, 24, 30.0, 1000000), -1);
    EXPECT_EQ(v.OpenEncoder(id, nullptr, 2, 640, 480, 24, 30.0, 1000000), -1);
    EXPECT_EQ(v.OpenEncoder(id, L"x.mp4", 2, 0, 480, 24, 30.0, 1000000), -2);
    EXPECT_EQ(v.OpenEncoder(id, L"x.mp4", 2, 640, -1, 24, 30.0, 1000000), -2);
    EXPECT_EQ(v.OpenEncoder(id, L"x.mp4", 2, 640, 480, 0, 30.0, 1000000), -2);
    uint8_t frame[16] = {};
    EXPECT_EQ(v.WriteEncoder(id, nullptr, 0), -1);
    EXPECT_EQ(v.WriteEncoder(id, frame, 0), -2) << "not open";
    EXPECT_EQ(v.CloseEncoder(id), 0);
    EXPECT_EQ(v.OpenEncoder(id + 1000, L"x.mp4", 2, 640, 480, 24, 30.0, 0), -100);
    EXPECT_EQ(v.WriteEncoder(id + 1000, frame, 0), -100);
    EXPECT_EQ(v.CloseEncoder(id + 1000), -100);
    EXPECT_EQ(v.DeleteEncoder(id + 1000), -100);
}

TEST_F(EncoderPlatform, UnknownContainerEndsAtTheWriter) {
    for (const wchar_t* name : {L"vidlox-test.xyz", L"vidlox-test"}) {
        EXPECT_EQ(v.OpenEncoder(id, name, 2, 640, 480, 24, 30.0, 1000000), -4) << "no container for the name";
        uint8_t frame[16] = {};
        EXPECT_EQ(v.WriteEncoder(id, frame, 0), -2) << "the failed open left it closed";
    }
    EXPECT_EQ(v.OpenEncoder(id, L"vidlox-test.xyz", 0, 640, 480, 32, 25.0, 1000000), -4)
        << "a further open may be tried: -4 again, not -3";
}

TEST_F(EncoderPlatform, IdsCountUpAcrossDeletes) {
    const int32_t next = v.CreateEncoder();
    EXPECT_EQ(next, id + 1);
    EXPECT_EQ(v.DeleteEncoder(next), 0);
    EXPECT_EQ(v.DeleteEncoder(next), -100);
    const int32_t after = v.CreateEncoder();
    EXPECT_EQ(after, next + 1);
    EXPECT_EQ(v.DeleteEncoder(after), 0);
}

}  // namespace
}  // namespace vlx_test
