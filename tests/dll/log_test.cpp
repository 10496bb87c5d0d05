// The error recorder as a host sees it: last error, log bytes, window message.
#include "dll/host_library.h"
#include "support/com_thread.h"
#include "support/message_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vlx_test {
namespace {

// Asking for the (empty) audio compressor category makes two reported calls:
// CoCreateInstance = S_OK, then CreateClassEnumerator = S_FALSE.
const std::string kCreateOk = "1 vlx_GetCodecListSize->CoCreateInstance = S_OK\r\n";
const std::string kEnumFalse = "1 vlx_GetCodecListSize->CreateDevEnum->CreateClassEnumerator = S_FALSE\r\n";
// The listing's own line is shorter than its size query's.
const std::string kListEnumFalse = "1 vlx_GetCodecList->CreateDevEnum->CreateClassEnumerator = S_FALSE\r\n";

// "未定義エラーコード：0x" in code page 932.
const std::string kUnknownPrefix =
    "\x96\xa2\x92\xe8\x8b\x60\x83\x47\x83\x89\x81\x5b\x83\x52\x81\x5b\x83\x68\x81\x46" "0x";

class Log : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(v.Init(), 0); }
    void TearDown() override {
        reset_reporting();
        v.Exit();
    }
    std::string run_audio_query(int level, int size = 4096) {
        std::vector<char> buffer(static_cast<size_t>(size) + 16, '#');
        buffer[0] = '\0';
        v.SetLogBuffer(buffer.data(), size);
        v.SetLogLevel(level);
        EXPECT_EQ(v.GetCodecListSize(1), -3);
        v.SetLogBuffer(nullptr, 0);
        return buffer.data();
    }

    const Vidlox& v = vidlox();
};

TEST_F(Log, LevelsSelectLines) {
    EXPECT_EQ(run_audio_query(0), "");
    EXPECT_EQ(v.GetLastError(), S_FALSE) << "level 0 still stores the code";
    EXPECT_EQ(run_audio_query(1), kEnumFalse) << "level 1: S_FALSE is a failure, S_OK is not logged";
    EXPECT_EQ(run_audio_query(2), kCreateOk + kEnumFalse);
    EXPECT_EQ(run_audio_query(3), "") << "unknown levels switch logging off";
    EXPECT_EQ(run_audio_query(-1), "");
}

TEST_F(Log, LastErrorFollowsTheLatestReportedCall) {
    EXPECT_EQ(v.GetCodecListSize(1), -3);
    EXPECT_EQ(v.GetLastError(), S_FALSE);
    EXPECT_GT(v.GetCodecListSize(0), 1) << "Wine ships video compressors";
    EXPECT_EQ(v.GetLastError(), S_OK) << "a later success replaces the earlier failure";
}

TEST_F(Log, TenByteBufferNeverReceivesALine) {
    const std::string text = run_audio_query(2, 10);
    EXPECT_EQ(text, "");
}

TEST_F(Log, BufferFilledToSizeMinusOneReceivesNothing) {
    std::vector<char> buffer(64 + 1, 'x');
    buffer[63] = '\0';  // 63 characters of text in a 64-byte buffer
    v.SetLogBuffer(buffer.data(), 64);
    v.SetLogLevel(2);
    EXPECT_EQ(v.GetCodecListSize(1), -3);
    EXPECT_EQ(std::string(buffer.data()), std::string(63, 'x'));
    EXPECT_EQ(buffer[64], 'x') << "nothing written past the buffer";
}

TEST_F(Log, LinesAreDroppedWholeAndShorterOnesStillFit) {
    // Room for the listing's line, not for the longer line of its size query.
    const int size = static_cast<int>(kListEnumFalse.size()) + 1;
    ASSERT_LT(size, static_cast<int>(kEnumFalse.size()) + 1);
    std::vector<char> buffer(static_cast<size_t>(size) + 8, '#');
    buffer[0] = '\0';
    v.SetLogBuffer(buffer.data(), size);
    v.SetLogLevel(1);
    EXPECT_EQ(v.GetCodecListSize(1), -3);
    EXPECT_EQ(std::string(buffer.data()), "") << "the long line is dropped, not cut";
    char list[8] = "";
    EXPECT_EQ(v.GetCodecList(list, 1), -3);
    EXPECT_EQ(std::string(buffer.data()), kListEnumFalse) << "a later line that fits is appended";
    EXPECT_EQ(buffer[static_cast<size_t>(size)], '#');
}

TEST_F(Log, UnlistedCodeUsesFallbackTextWithLowerCaseHex) {
    // A thread without COM: CoCreateInstance fails with CO_E_NOTINITIALIZED,
    // which the status table does not hold.
    std::vector<char> buffer(4096, 0);
    v.SetLogBuffer(buffer.data(), static_cast<int32_t>(buffer.size()));
    v.SetLogLevel(1);
    int32_t result = 0;
    run_on_thread([&] { result = v.GetCodecListSize(0); });
    EXPECT_EQ(result, -2);
    EXPECT_EQ(v.GetLastError(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(std::string(buffer.data()),
              "1 vlx_GetCodecListSize->CoCreateInstance = " + kUnknownPrefix + "800401f0\r\n");
}

TEST_F(Log, FailurePostsMessageWithSignExtendedCode) {
    MessageWindow window;
    ASSERT_TRUE(window.handle());
    v.SetErrorCallbackHwnd(window.handle(), 12345);

    EXPECT_GT(v.GetCodecListSize(0), 1) << "successes post nothing";
    EXPECT_TRUE(window.pump().empty());

    EXPECT_EQ(v.GetCodecListSize(1), -3);
    run_on_thread([&] { v.GetDeviceListSize(0); });
    const auto& received = window.pump();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].wparam, 1u);
    EXPECT_EQ(received[0].lparam, 1) << "S_FALSE";
    EXPECT_EQ(received[1].wparam, 1u);
    EXPECT_EQ(received[1].lparam, static_cast<LPARAM>(-2147221008LL)) << "CO_E_NOTINITIALIZED, sign-extended";

    v.SetErrorCallbackHwnd(nullptr, 0);
    EXPECT_EQ(v.GetCodecListSize(1), -3);
    EXPECT_EQ(window.pump().size(), 2u) << "no window, no message";
}

}  // namespace
}  // namespace vlx_test
