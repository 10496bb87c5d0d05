// In-process capture tests: the library's own sources with fault injection,
// the real platform and the test camera.
#pragma once

#include "library/fault_injection.h"
#include "library/library_state.h"
#include "support/camera_graph.h"
#include "vidlox.h"
#include "vidlox_testcam.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vlx_test {

int32_t device_position(const wchar_t* name);
bool all_interfaces_null(const vlx::Slot& slot);
std::vector<std::wstring> graph_filter_names(IGraphBuilder* graph);

class InProcessCapture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    int32_t camera = -1;
};

}  // namespace vlx_test
