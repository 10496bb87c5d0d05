// The names of the filters in a slot's graph, through both exported names.
#include "dll/capture_fixture.h"
#include "support/text_lines.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

class FilterList : public Capture {};

TEST_F(FilterList, ModeZeroGraphWithLogAndSize) {
    ASSERT_EQ(v.Open(camera, 0, 0, 0, 0), 0);
    static char log[8192];
    log[0] = '\0';
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    const int32_t size = v.GetStreamFilterListSize();
    const std::string sized = log;
    log[0] = '\0';
    std::vector<char> buffer(static_cast<size_t>(size) + 16, '#');
    buffer[0] = '\0';
    const int32_t count = v.StreamFilterList(buffer.data());
    v.SetLogBuffer(nullptr, 0);

    const std::string text = buffer.data();
    EXPECT_EQ(static_cast<int32_t>(text.size()) + 1, size);
    EXPECT_EQ(buffer[static_cast<size_t>(size)], '#') << "nothing past the reported size";
    const auto names = split_lines(text);
    EXPECT_EQ(static_cast<int32_t>(names.size()), count);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), count) << "every name, the last included, ends with CR LF";
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    for (const char* wanted : {"Sample Grabber", "Device Filter", "Video Renderer"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), wanted), names.end()) << wanted;
    }

    // The size query enumerates under its own context and asks each filter
    // for its name under the listing's.
    const std::string query_info = "1 vlx_StreamFilterList->BaseFilter->QueryFilterInfo(FilterInfo) = S_OK\r\n";
    EXPECT_EQ(sized,
              "1 vlx_StreamFilterListSize->GraphBuilder->EnumFilters = S_OK\r\n" + repeated(query_info, count));
    EXPECT_EQ(std::string(log),
              "1 vlx_StreamFilterList->GraphBuilder->EnumFilters = S_OK\r\n" + repeated(query_info, count));
}

TEST_F(FilterList, SecondNameAppendsTheSameList) {
    ASSERT_EQ(v.Open(camera, 5, 0, 0, 0), 0) << "no renderer branch";
    char first[256] = "already here;";
    char second[256] = "already here;";
    EXPECT_EQ(v.StreamFilterList(first), 2);
    EXPECT_EQ(v.GetStreamFilterList(second), 2);
    EXPECT_EQ(std::string(first), std::string(second));
    const std::string text = first;
    ASSERT_EQ(text.rfind("already here;", 0), 0u) << "existing text stays in front";
    auto names = split_lines(text.substr(13));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Device Filter", "Sample Grabber"}));
    EXPECT_EQ(v.GetStreamFilterListSize(), static_cast<int32_t>(text.size()) - 13 + 1);
}

TEST_F(FilterList, OpenOrRunningSlotsOnly) {
    char buffer[256] = "keep";
    EXPECT_EQ(v.StreamFilterList(buffer), -1);
    EXPECT_EQ(v.GetStreamFilterList(buffer), -1);
    EXPECT_EQ(v.GetStreamFilterListSize(), -1);
    EXPECT_EQ(std::string(buffer), "keep");
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.StreamFilterList(nullptr), -1) << "no buffer to append to";
    ASSERT_GE(v.Play2(), 0);
    buffer[0] = '\0';
    EXPECT_GE(v.StreamFilterList(buffer), 3) << "running: grabber, device, Null Renderer and what Wine inserted";
    EXPECT_EQ(v.GetStreamFilterListSize(), static_cast<int32_t>(std::string(buffer).size()) + 1);
    ASSERT_EQ(v.Close(), 0);
    EXPECT_EQ(v.GetStreamFilterListSize(), -1);
}

}  // namespace
}  // namespace vlx_test
