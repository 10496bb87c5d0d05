// Device and codec lists on Wine's real system device enumerator.
#include "dll/host_library.h"
#include "support/category_entry.h"
#include "support/text_lines.h"
#include "vidlox_testcam.h"

#include <gtest/gtest.h>
#include <uuids.h>

#include <cstring>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

// {5C3A64D5-1D4B-4E6B-9A3F-0C61D2B7E101}, {...102}, {...103}: entries of these tests only.
constexpr GUID kLongNameEntry = {0x5c3a64d5, 0x1d4b, 0x4e6b, {0x9a, 0x3f, 0x0c, 0x61, 0xd2, 0xb7, 0xe1, 0x01}};
constexpr GUID kNamelessEntry = {0x5c3a64d5, 0x1d4b, 0x4e6b, {0x9a, 0x3f, 0x0c, 0x61, 0xd2, 0xb7, 0xe1, 0x02}};
// {...103}: an entry that appears between a size query and its listing.
constexpr GUID kLateEntry = {0x5c3a64d5, 0x1d4b, 0x4e6b, {0x9a, 0x3f, 0x0c, 0x61, 0xd2, 0xb7, 0xe1, 0x03}};

// The test platform's compressor, then Wine's three compressors and the test
// codec's three decompressors (the device enumerator lists every vidc
// driver) in the order of their FourCCs: cvid, MJPG, mrle, msvc, NV12, YUY2.
constexpr char kVideoCompressors[] =
    "vidlox Test MJPEG Compressor\r\nCinepak Video codec\r\nvidlox Test Decompressor (MJPG)\r\n"
    "Wine MS-RLE video codec\r\nWine Video 1 video codec\r\nvidlox Test Decompressor (NV12)\r\n"
    "vidlox Test Decompressor (YUY2)\r\n";
constexpr int32_t kVideoCompressorCount = 7;

class Lists : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(v.Init(), 0); }
    void TearDown() override {
        reset_reporting();
        v.Exit();
    }

    // Lists into an empty buffer of exactly the size the query reported.
    std::string codec_list(int32_t kind, int32_t* count) {
        const int32_t size = v.GetCodecListSize(kind);
        EXPECT_GT(size, 0);
        std::vector<char> buffer(static_cast<size_t>(size) + 64, '#');
        buffer[0] = '\0';
        *count = v.GetCodecList(buffer.data(), kind);
        const std::string text = buffer.data();
        EXPECT_EQ(static_cast<int32_t>(text.size()) + 1, size) << "size == bytes written + 1";
        EXPECT_EQ(buffer[static_cast<size_t>(size)], '#') << "nothing past the reported size";
        return text;
    }

    const Vidlox& v = vidlox();
};

TEST_F(Lists, VideoCompressorsOfTheTestPrefix) {
    int32_t count = 0;
    const std::string text = codec_list(0, &count);
    EXPECT_EQ(text, kVideoCompressors);
    EXPECT_EQ(count, kVideoCompressorCount);
}

TEST_F(Lists, TextIsAppendedAfterExistingText) {
    char buffer[256] = "already here;";
    EXPECT_EQ(v.GetCodecList(buffer, 0), kVideoCompressorCount) << "the count covers only this call's names";
    EXPECT_EQ(std::string(buffer), std::string("already here;") + kVideoCompressors);
}

TEST_F(Lists, TheEmptyAudioCompressorCategoryLeavesTheBufferAlone) {
    for (int32_t kind : {1, -1, 5}) {
        char buffer[16] = "keep";
        std::memset(buffer + 5, '#', sizeof buffer - 5);
        EXPECT_EQ(v.GetCodecList(buffer, kind), -3) << "kind " << kind;
        EXPECT_EQ(v.GetLastError(), S_FALSE);
        EXPECT_EQ(v.GetCodecListSize(kind), -3) << "not 1";
        EXPECT_EQ(std::string(buffer), "keep");
        EXPECT_EQ(buffer[5], '#');
    }
}

TEST_F(Lists, AudioCaptureDevicesListTheTestMicrophone) {
    const std::string microphone = utf8(VLXCAM_NAME_MICROPHONE) + "\r\n";
    for (int32_t kind : {1, -1, 5}) {
        const int32_t size = v.GetDeviceListSize(kind);
        ASSERT_GT(size, 1) << "kind " << kind;
        std::vector<char> buffer(static_cast<size_t>(size), '\0');
        EXPECT_GE(v.GetDeviceList(buffer.data(), kind), 1);
        EXPECT_EQ(std::strlen(buffer.data()) + 1, static_cast<size_t>(size));
        EXPECT_NE(std::string(buffer.data()).find(microphone), std::string::npos);
    }
}

TEST_F(Lists, VideoDeviceListAgreesWithItsSize) {
    const int32_t size = v.GetDeviceListSize(0);
    if (size == -2) GTEST_SKIP() << "no video capture device registered in this prefix";
    ASSERT_GT(size, 0);
    std::vector<char> buffer(static_cast<size_t>(size), '#');
    buffer[0] = '\0';
    const int32_t count = v.GetDeviceList(buffer.data(), 0);
    EXPECT_GT(count, 0);
    EXPECT_EQ(std::strlen(buffer.data()) + 1, static_cast<size_t>(size));
}

TEST_F(Lists, RefusedBeforeInitAndForNullBuffer) {
    EXPECT_EQ(v.GetDeviceList(nullptr, 0), -1);
    EXPECT_EQ(v.GetCodecList(nullptr, 0), -1);
    ASSERT_EQ(v.Exit(), 0);
    v.SetLogLevel(2);
    char log[256] = "";
    v.SetLogBuffer(log, sizeof log);
    char buffer[8] = "";
    EXPECT_EQ(v.GetDeviceList(buffer, 0), -1);
    EXPECT_EQ(v.GetDeviceListSize(0), -1);
    EXPECT_EQ(v.GetCodecList(buffer, 0), -1);
    EXPECT_EQ(v.GetCodecListSize(0), -1);
    EXPECT_STREQ(log, "") << "nothing is reported before init";
    EXPECT_STREQ(buffer, "");
    ASSERT_EQ(v.Init(), 0);
}

TEST_F(Lists, NamesLongerThanAnyWorkAreaAreListedWhole) {
    // 400 three-byte characters: 1200 bytes of UTF-8, beyond 255 and 1023.
    const std::wstring name(400, L'\u6620');
    CategoryEntry entry = CategoryEntry::with_name(CLSID_VideoCompressorCategory, kLongNameEntry, name);
    ASSERT_TRUE(entry.ok());
    int32_t count = 0;
    const std::string text = codec_list(0, &count);
    EXPECT_EQ(count, kVideoCompressorCount + 1);
    std::string utf8;
    for (int i = 0; i < 400; ++i) utf8 += "\xe6\x98\xa0";
    EXPECT_NE(text.find(utf8 + "\r\n"), std::string::npos);
}

TEST_F(Lists, EntryWithoutFriendlyNameIsAnEmptyLine) {
    CategoryEntry entry = CategoryEntry::without_name(CLSID_VideoCompressorCategory, kNamelessEntry);
    ASSERT_TRUE(entry.ok());
    char log[4096] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(1);
    int32_t count = 0;
    const std::string text = codec_list(0, &count);
    EXPECT_EQ(count, kVideoCompressorCount + 1);
    EXPECT_NE(("\r\n" + text).find("\r\n\r\n"), std::string::npos) << "one empty line: " << text;
    // The failed Read is reported (twice: size query and list) with the
    // platform's own code, which the status table does not hold.
    const std::string log_text = log;
    EXPECT_NE(log_text.find("1 vlx_GetCodecListSize->PropertyBag->Read = "), std::string::npos) << log_text;
    EXPECT_NE(log_text.find("1 vlx_GetCodecList->PropertyBag->Read = "), std::string::npos) << log_text;
}

// A device or compressor registered between the size query and the listing
// (a camera plugged in, a codec installed): the listing writes whole lines
// within the size it was given, never past the host's buffer.
TEST_F(Lists, ListingKeepsWithinTheSizeItsQueryLastAnswered) {
    const struct {
        const char* what;
        const GUID& category;
        decltype(&vlx_GetCodecListSize) size;
        decltype(&vlx_GetCodecList) list;
    } lists[] = {{"codecs", CLSID_VideoCompressorCategory, v.GetCodecListSize, v.GetCodecList},
                 {"devices", CLSID_VideoInputDeviceCategory, v.GetDeviceListSize, v.GetDeviceList}};
    for (const auto& l : lists) {
        const int32_t sized = l.size(0);
        ASSERT_GT(sized, 0) << l.what;
        CategoryEntry late = CategoryEntry::with_name(l.category, kLateEntry, L"vidlox late entry");
        ASSERT_TRUE(late.ok()) << l.what;
        std::vector<char> buffer(static_cast<size_t>(sized) + 64, '#');
        buffer[0] = '\0';
        const int32_t count = l.list(buffer.data(), 0);
        const std::string text = buffer.data();
        EXPECT_LE(static_cast<int32_t>(text.size()) + 1, sized) << l.what;
        EXPECT_EQ(buffer[static_cast<size_t>(sized)], '#') << l.what;
        EXPECT_EQ(count, static_cast<int32_t>(split_lines(text).size())) << l.what << ": only what was written counts";

        // A new size query lets the whole list through; what was written
        // before is where it begins.
        const int32_t whole_size = l.size(0);
        EXPECT_EQ(whole_size, sized + 19) << l.what << ": \"vidlox late entry\" and CR LF";
        std::vector<char> whole(static_cast<size_t>(whole_size), '#');
        whole[0] = '\0';
        EXPECT_EQ(l.list(whole.data(), 0), count + 1) << l.what;
        EXPECT_EQ(std::string(whole.data()).rfind(text, 0), 0u) << l.what;
    }
}

}  // namespace
}  // namespace vlx_test
