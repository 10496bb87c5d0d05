// The capture capabilities a host reads before it asks for a format: the three
// lists, their size query and vlx_GetCapInfo, on the test camera's devices.
#include "dll/capture_fixture.h"
#include "support/text_lines.h"

#include <functional>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

struct CapabilityLists {
    int32_t result;
    std::string rates, widths, heights;
};

class Capabilities : public Capture {
protected:
    // The three lists into empty buffers of exactly the sizes the queries
    // report, checking that nothing is written past them.
    CapabilityLists sized_lists() {
        std::vector<char> buffers[3];
        for (int32_t list = 0; list < 3; ++list) {
            const int32_t size = v.GetDevCapConfigSize(list);
            EXPECT_GT(size, 0) << list;
            buffers[list].assign(static_cast<size_t>(size > 0 ? size : 1) + 16, '#');
            buffers[list][0] = '\0';
        }
        CapabilityLists lists{v.GetDevCapConfig(buffers[0].data(), buffers[1].data(), buffers[2].data()),
                              buffers[0].data(), buffers[1].data(), buffers[2].data()};
        const std::string* texts[3] = {&lists.rates, &lists.widths, &lists.heights};
        for (int32_t list = 0; list < 3; ++list) {
            const size_t size = static_cast<size_t>(v.GetDevCapConfigSize(list));
            EXPECT_EQ(texts[list]->size() + 1, size) << "list " << list << ": size == bytes written + 1";
            EXPECT_EQ(buffers[list][size], '#') << "list " << list << ": nothing past the reported size";
        }
        return lists;
    }

    std::string logged(const std::function<void()>& calls) {
        static char log[8192];
        log[0] = '\0';
        v.SetLogBuffer(log, sizeof log);
        v.SetLogLevel(2);
        calls();
        v.SetLogBuffer(nullptr, 0);
        return log;
    }
};

std::string lines(std::initializer_list<const char*> entries) {
    std::string text;
    for (const char* entry : entries) text += std::string(entry) + "\r\n";
    return text;
}

// Capability 3 (FORMAT_VideoInfo2) is not usable: seven lines from eight,
// 4K and the 60 fps modes last (their media types state 30 fps).
const CapabilityLists kCameraLists{0, lines({"30.00", "30.00", "15.00", "30.00", "30.00", "30.00", "30.00"}),
                                   lines({"640", "1280", "320", "1920", "3840", "1280", "1920"}),
                                   lines({"480", "720", "240", "1080", "2160", "720", "1080"})};

TEST_F(Capabilities, ListsOfTheCameraWithTheirLog) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    const CapabilityLists lists = sized_lists();
    EXPECT_EQ(lists.result, 0);
    EXPECT_EQ(lists.rates, kCameraLists.rates);
    EXPECT_EQ(lists.widths, kCameraLists.widths);
    EXPECT_EQ(lists.heights, kCameraLists.heights);

    // FindInterface, GetNumberOfCapabilities, then GetStreamCaps for each of
    // the eight capabilities, usable or not.
    const std::string sized =
        logged([&] { EXPECT_EQ(v.GetDevCapConfigSize(0), static_cast<int32_t>(kCameraLists.rates.size()) + 1); });
    EXPECT_EQ(sized,
              "1 vlx_GetDevCapConfigSize->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE) = S_OK\r\n"
              "1 vlx_GetDevCapConfigSize->AMStreamConfig->GetNumberOfCapabilities = S_OK\r\n" +
                  repeated(std::string("1 vlx_GetDevCapConfigSize->AMStreamConfig->GetStreamCaps = S_OK\r\n"), 8));
    char rates[64] = "", widths[64] = "", heights[64] = "";
    const std::string listed = logged([&] { EXPECT_EQ(v.GetDevCapConfig(rates, widths, heights), 0); });
    EXPECT_EQ(listed,
              "1 vlx_GetDevCapConfig->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE) = S_OK\r\n"
              "1 vlx_GetDevCapConfig->AMStreamConfig->GetNumberOfCapabilities = S_OK\r\n" +
                  repeated(std::string("1 vlx_GetDevCapConfig->AMStreamConfig->GetStreamCaps = S_OK\r\n"), 8));
}

TEST_F(Capabilities, ListsAppendToTheTextAlreadyThere) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    char rates[256] = "r:", widths[256] = "w:", heights[256] = "h:";
    EXPECT_EQ(v.GetDevCapConfig(rates, widths, heights), 0);
    EXPECT_EQ(v.GetDevCapConfig(rates, widths, heights), 0);
    EXPECT_EQ(std::string(rates), "r:" + kCameraLists.rates + kCameraLists.rates);
    EXPECT_EQ(std::string(widths), "w:" + kCameraLists.widths + kCameraLists.widths);
    EXPECT_EQ(std::string(heights), "h:" + kCameraLists.heights + kCameraLists.heights);
    for (int32_t list : {3, -1}) EXPECT_EQ(v.GetDevCapConfigSize(list), 1) << list;
}

TEST_F(Capabilities, CapInfoOfTheFirstCapability) {
    EXPECT_EQ(v.GetCapInfo(0), -1) << "slot not open";
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    const int32_t bit_rate = static_cast<int32_t>(640.0 * 3 * 480 * 8 * 1e7 / 333333);  // the camera's formula
    const std::pair<int32_t, int32_t> items[] = {{0, 640},    {1, 480}, {2, bit_rate}, {3, 0},
                                                 {4, 333333}, {5, 0},   {6, 0},        {-1, 0}};
    for (const auto& [item, value] : items) EXPECT_EQ(v.GetCapInfo(item), value) << "item " << item;
    const std::string log = logged([&] { v.GetCapInfo(0); });
    EXPECT_EQ(log, "1 vlx_GetCapInfo->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE) = S_OK\r\n"
                   "1 vlx_GetCapInfo->AMStreamConfig->GetNumberOfCapabilities = S_OK\r\n");
}

struct EdgeDevice {
    const wchar_t* name;
    int32_t cap_info_width;  // vlx_GetCapInfo(0)
    CapabilityLists lists;
};

TEST_F(Capabilities, EdgeDevices) {
    const EdgeDevice devices[] = {
        {VLXCAM_NAME_CAPS_BLOCK, -5, {0, "", "", ""}},
        {VLXCAM_NAME_REFUSES, 640, kCameraLists},
        {VLXCAM_NAME_PREVIEW_PIN, 640, kCameraLists},
        // An AvgTimePerFrame of 0 is an infinite rate.
        {VLXCAM_NAME_UNSTATED_RATE, 640, {0, lines({"inf", "30.00", "15.00", "30.00", "30.00", "30.00", "30.00"}),
                                          kCameraLists.widths, kCameraLists.heights}},
    };
    for (const EdgeDevice& device : devices) {
        SCOPED_TRACE(utf8(device.name));
        const int32_t index = device_index(device.name);
        ASSERT_GE(index, 0);
        ASSERT_EQ(v.Open(index, 6, 0, 0, 0), 0);
        EXPECT_EQ(v.GetCapInfo(0), device.cap_info_width);
        const CapabilityLists lists = sized_lists();
        EXPECT_EQ(lists.result, 0);
        EXPECT_EQ(lists.rates, device.lists.rates);
        EXPECT_EQ(lists.widths, device.lists.widths);
        EXPECT_EQ(lists.heights, device.lists.heights);
        ASSERT_EQ(v.Close(), 0);
    }
    const int32_t unstated = device_index(VLXCAM_NAME_UNSTATED_RATE);
    ASSERT_EQ(v.Open(unstated, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.GetCapInfo(4), 0);
}

TEST_F(Capabilities, Refusals) {
    char rates[8] = "", widths[8] = "", heights[8] = "";
    EXPECT_EQ(v.GetDevCapConfig(rates, widths, heights), -2) << "no graph";
    EXPECT_EQ(v.GetDevCapConfigSize(0), -2);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.GetDevCapConfig(nullptr, widths, heights), -1);
    EXPECT_EQ(v.GetDevCapConfig(rates, widths, nullptr), -1);
    EXPECT_EQ(std::string(widths), "") << "nothing listed";
    ASSERT_EQ(v.Close(), 0);
    EXPECT_EQ(v.GetDevCapConfig(rates, widths, heights), -2) << "closed again";
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(v.GetDevCapConfig(rates, widths, heights), -1);
    EXPECT_EQ(v.GetDevCapConfigSize(1), -1);
    ASSERT_EQ(v.Init(), 0);
}

// Sized on a camera whose first rate is "inf", listed after the slot was
// opened again on the webcam, whose lists are longer: each list keeps within
// its own size, and all three stop at the first capability that one of them
// cannot take (here the rates', 48 bytes, hold six of the webcam's rates
// while the widths and heights would hold seven).
TEST_F(Capabilities, ListsKeepWithinTheSizesAnsweredBeforeAReopen) {
    const int32_t webcam = device_index(VLXCAM_NAME_WEBCAM);
    const int32_t unstated_rate = device_index(VLXCAM_NAME_UNSTATED_RATE);
    ASSERT_GE(webcam, 0);
    ASSERT_GE(unstated_rate, 0);
    ASSERT_EQ(v.Open(unstated_rate, 6, 0, 0, 0), 0);
    int32_t sizes[3];
    std::vector<char> buffers[3];
    for (int32_t list = 0; list < 3; ++list) {
        sizes[list] = v.GetDevCapConfigSize(list);
        buffers[list].assign(static_cast<size_t>(sizes[list]) + 64, '#');
        buffers[list][0] = '\0';
    }
    ASSERT_EQ(v.Close(), 0);
    ASSERT_EQ(v.Open(webcam, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.GetDevCapConfig(buffers[0].data(), buffers[1].data(), buffers[2].data()), 0);
    EXPECT_EQ(sizes[0], 48);
    EXPECT_EQ(std::string(buffers[0].data()), lines({"30.00", "30.00", "20.00", "10.00", "5.00", "30.00"}));
    EXPECT_EQ(std::string(buffers[1].data()), lines({"640", "320", "800", "1280", "1920", "640"}));
    EXPECT_EQ(std::string(buffers[2].data()), lines({"480", "240", "600", "720", "1080", "480"}));
    for (int32_t list = 0; list < 3; ++list) EXPECT_EQ(buffers[list][static_cast<size_t>(sizes[list])], '#') << list;
}

}  // namespace
}  // namespace vlx_test
