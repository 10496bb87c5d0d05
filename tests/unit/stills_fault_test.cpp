// The still branch where the platform fails only under fault injection:
// each step of vlx_SetStillSize that fails answers its own code and leaves
// no filter of the branch in the graph, and the next call builds it whole.
#include "unit/capture_harness.h"

#include <algorithm>

namespace vlx_test {
namespace {

bool has_filter(const wchar_t* name) {
    const std::vector<std::wstring> names = graph_filter_names(vlx::active_slot().graph_builder.get());
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_F(InProcessCapture, AStillBranchThatFailsHalfWayLeavesNoFilterOfIt) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    const struct {
        const char* call;
        int32_t code;
    } steps[] = {
        {"vlx_SetStillSize->AMStreamConfig->SetFormat(Still)", -6},
        {"vlx_SetStillSize->GraphBuilder->AddFilter(StillGrabber)", -7},
        {"vlx_SetStillSize->CoCreateInstance(StillRenderer)", -8},
        {"vlx_SetStillSize->GraphBuilder->AddFilter(StillRenderer)", -8},
        {"vlx_SetStillSize->CaptureGraphBuilder2->RenderStream(Still)", -9},
        {"vlx_SetStillSize->StillGrabber->SetCallback", -10},
    };
    for (const auto& step : steps) {
        vlx::fault::arm(step.call, E_FAIL, 0, 1);
        EXPECT_EQ(vlx_SetStillSize(1280, 720), step.code) << step.call;
        EXPECT_FALSE(has_filter(L"Still Grabber") || has_filter(L"Still Renderer")) << step.call;
    }
    ASSERT_EQ(vlx_SetStillSize(1280, 720), 0);
    EXPECT_TRUE(has_filter(L"Still Grabber") && has_filter(L"Still Renderer"));
    ASSERT_GE(vlx_Play2(), 0);
    ASSERT_EQ(vlx_TriggerStill(), 0);
    EXPECT_EQ(vlx_WaitStill(5000), 0) << "the branch built after the failures delivers";
}

}  // namespace
}  // namespace vlx_test
