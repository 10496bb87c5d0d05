// The filter list with names and failures Wine's own filters never show:
// test camera instances added to an open slot's graph under long names, and
// injected QueryFilterInfo and EnumFilters failures.
#include "support/text_lines.h"
#include "unit/capture_harness.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

constexpr const char* kQueryInfo = "vlx_StreamFilterList->BaseFilter->QueryFilterInfo(FilterInfo)";

class FilterListInProcess : public InProcessCapture {
protected:
    // The list in an empty buffer of the reported size, checked against it.
    std::string sized_list(int32_t* count) {
        const int32_t size = vlx_GetStreamFilterListSize();
        EXPECT_GT(size, 0);
        std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 1) + 16, '#');
        buffer[0] = '\0';
        *count = vlx_StreamFilterList(buffer.data());
        const std::string text = buffer.data();
        EXPECT_EQ(static_cast<int32_t>(text.size()) + 1, size);
        EXPECT_EQ(buffer[static_cast<size_t>(size)], '#') << "nothing past the reported size";
        return text;
    }
};

const std::wstring kCheck = L"\u2713";     // 3 bytes in UTF-8
const std::wstring kFace = L"\U0001F600";  // a surrogate pair, 4 bytes in UTF-8
const std::string kCheckUtf8 = "\xe2\x9c\x93";
const std::string kFaceUtf8 = "\xf0\x9f\x98\x80";

TEST_F(FilterListInProcess, LongNamesAreCutAtAWholeCharacter) {
    struct Case {
        std::wstring name;  // as given to AddFilter; the camera keeps 127 units
        std::string line;   // as listed
    };
    const Case cases[] = {
        {repeated(kCheck, 200), repeated(kCheckUtf8, 85)},              // 255 bytes: exactly the limit
        // 253: the next character would cross. Appended rather than "a" + ...: at -O3
        // GCC 12 reports a false -Wrestrict for inserting a literal at a string's front.
        {L"a" + repeated(kCheck, 126), std::string("a").append(repeated(kCheckUtf8, 84))},
        // A half pair would fit in 255 bytes (as U+FFFD), a whole one does not.
        {repeated(kCheck, 80) + L"abcd" + repeated(kFace, 6),
         repeated(kCheckUtf8, 80) + "abcd" + repeated(kFaceUtf8, 2)},
    };
    ASSERT_EQ(vlx_Open(camera, 5, 0, 0, 0), 0);
    IGraphBuilder* graph = vlx::active_slot().graph_builder.get();
    for (const Case& c : cases) {
        ComPtr<IBaseFilter> filter = bind_device(VLXCAM_NAME_MAIN);
        ASSERT_TRUE(filter);
        ASSERT_EQ(graph->AddFilter(filter.get(), c.name.c_str()), S_OK);
    }
    int32_t count = 0;
    const std::vector<std::string> lines = split_lines(sized_list(&count));
    EXPECT_EQ(count, 5);
    ASSERT_EQ(lines.size(), 5u);
    for (const Case& c : cases) {
        EXPECT_TRUE(std::find(lines.begin(), lines.end(), c.line) != lines.end())
            << "no line of the expected " << c.line.size() << " bytes";
    }
}

TEST_F(FilterListInProcess, FailedQueryFilterInfoGivesAnEmptyLine) {
    ASSERT_EQ(vlx_Open(camera, 5, 0, 0, 0), 0);
    char log[4096] = "";
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(1);
    // The second filter of each walk cannot name itself.
    vlx::fault::arm(kQueryInfo, E_FAIL, 1, 1);
    const int32_t size = vlx_GetStreamFilterListSize();
    vlx::fault::arm(kQueryInfo, E_FAIL, 1, 1);
    char text[256] = "";
    EXPECT_EQ(vlx_StreamFilterList(text), 2) << "the filter still counts";
    EXPECT_EQ(size, static_cast<int32_t>(std::string(text).size()) + 1);
    const auto lines = split_lines(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0], "");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(std::string(log), repeated(std::string("1 ") + kQueryInfo + " = E_FAIL\r\n", 2));
}

TEST_F(FilterListInProcess, NoFilterEnumeratorListsNothing) {
    ASSERT_EQ(vlx_Open(camera, 5, 0, 0, 0), 0);
    vlx::fault::arm("vlx_StreamFilterListSize->GraphBuilder->EnumFilters", E_FAIL);
    vlx::fault::arm("vlx_StreamFilterList->GraphBuilder->EnumFilters", E_FAIL);
    EXPECT_EQ(vlx_GetStreamFilterListSize(), 1);
    char text[16] = "keep";
    EXPECT_EQ(vlx_StreamFilterList(text), 0);
    EXPECT_EQ(std::string(text), "keep");
    EXPECT_EQ(vlx_GetLastError(), E_FAIL) << "the failure is reported";
}

}  // namespace
}  // namespace vlx_test
