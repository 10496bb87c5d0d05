// The capability functions' codes for platform failures the test camera
// cannot produce, through fault injection on an open slot.
#include "config/capability_info.h"
#include "unit/capture_harness.h"

#include <functional>
#include <ostream>
#include <string>

namespace vlx_test {
namespace {

struct CapabilityFault {
    const char* name;
    const char* key;
    HRESULT status;
    std::function<int32_t()> call;
    int32_t expected;
    int attempts = 1;  // of the failing call
};

void PrintTo(const CapabilityFault& c, std::ostream* out) { *out << c.name; }

int32_t list_into_unchanged_buffers() {
    char rates[64] = "r", widths[64] = "w", heights[64] = "h";
    const int32_t result = vlx_GetDevCapConfig(rates, widths, heights);
    const bool unchanged = std::string(rates) == "r" && std::string(widths) == "w" && std::string(heights) == "h";
    return unchanged ? result : 99;
}

const CapabilityFault kFaults[] = {
    {"CapInfoFindInterface", "vlx_GetCapInfo->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
     E_NOINTERFACE, [] { return vlx_GetCapInfo(0); }, -4},
    {"CapInfoCountNotOk", "vlx_GetCapInfo->AMStreamConfig->GetNumberOfCapabilities", S_FALSE,
     [] { return vlx_GetCapInfo(0); }, -2},
    {"CapInfoUnreadable", "vlx_GetCapInfo.AMStreamConfig.GetStreamCaps", E_FAIL, [] { return vlx_GetCapInfo(1); },
     vlx::kCapabilityUnreadable},
    {"CapInfoOtherItemReadsNothing", "vlx_GetCapInfo.AMStreamConfig.GetStreamCaps", E_FAIL,
     [] { return vlx_GetCapInfo(6); }, 0, 0},
    {"ListFindInterface", "vlx_GetDevCapConfig->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
     E_NOINTERFACE, list_into_unchanged_buffers, -4},
    {"ListCountFailed", "vlx_GetDevCapConfig->AMStreamConfig->GetNumberOfCapabilities", E_FAIL,
     list_into_unchanged_buffers, 0},
    {"SizeFindInterface", "vlx_GetDevCapConfigSize->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
     E_NOINTERFACE, [] { return vlx_GetDevCapConfigSize(0); }, -4},
    {"SizeCountFailed", "vlx_GetDevCapConfigSize->AMStreamConfig->GetNumberOfCapabilities", E_FAIL,
     [] { return vlx_GetDevCapConfigSize(1); }, 1},
};

class CapabilityFaults : public InProcessCapture, public ::testing::WithParamInterface<CapabilityFault> {};

TEST_P(CapabilityFaults, Code) {
    const CapabilityFault& c = GetParam();
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    vlx::fault::arm(c.key, c.status);
    EXPECT_EQ(c.call(), c.expected);
    EXPECT_EQ(vlx::fault::attempts(c.key), c.attempts);
}

INSTANTIATE_TEST_SUITE_P(Faults, CapabilityFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// A capability that cannot be read is left out of all three lists alike, so
// that line k still describes one capability.
TEST_F(InProcessCapture, UnreadableCapabilityLeavesEveryList) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    vlx::fault::arm("vlx_GetDevCapConfig->AMStreamConfig->GetStreamCaps", E_FAIL, 1, 1);
    char rates[64] = "", widths[64] = "", heights[64] = "";
    EXPECT_EQ(vlx_GetDevCapConfig(rates, widths, heights), 0);
    EXPECT_EQ(std::string(rates), "30.00\r\n15.00\r\n30.00\r\n30.00\r\n30.00\r\n30.00\r\n");
    EXPECT_EQ(std::string(widths), "640\r\n320\r\n1920\r\n3840\r\n1280\r\n1920\r\n");
    EXPECT_EQ(std::string(heights), "480\r\n240\r\n1080\r\n2160\r\n720\r\n1080\r\n");
    vlx::fault::arm("vlx_GetDevCapConfigSize->AMStreamConfig->GetStreamCaps", E_FAIL, 1, 1);
    EXPECT_EQ(vlx_GetDevCapConfigSize(1), static_cast<int32_t>(std::string(widths).size()) + 1);
}

// A device moniker that cannot be bound leaves the slot open without a
// device filter.
TEST_F(InProcessCapture, SlotWithoutDeviceFilterOrBuilder) {
    vlx::fault::arm("vlx_Open->Moniker->BindToObject", E_FAIL);
    ASSERT_EQ(vlx_Open(camera, 5, 0, 0, 0), 0);
    ASSERT_FALSE(vlx::active_slot().device_filter);
    char rates[8] = "", widths[8] = "", heights[8] = "";
    EXPECT_EQ(vlx_GetDevCapConfig(rates, widths, heights), -3);
    EXPECT_EQ(vlx_GetDevCapConfigSize(0), -3);
    EXPECT_EQ(vlx_GetCapInfo(0), -4) << "FindInterface has no filter to search";
    // No open leaves a builder out; the check still comes first.
    vlx::active_slot().capture_builder.reset();
    EXPECT_EQ(vlx_GetCapInfo(0), -3);
    EXPECT_EQ(vlx_GetDevCapConfigSize(0), -2);
}

}  // namespace
}  // namespace vlx_test
