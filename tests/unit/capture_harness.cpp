#include "unit/capture_harness.h"

#include <windows.h>

namespace vlx_test {

int32_t device_position(const wchar_t* name) {
    const auto names = video_device_names();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int32_t>(i);
    }
    return -1;
}

bool all_interfaces_null(const vlx::Slot& s) {
    return !s.compress_dialogs && !s.avi_compressor && !s.avi_mux && !s.media_control && !s.video_window &&
           !s.vmr9_filter && !s.vmr7_filter && !s.renderer_filter && !s.grabber_filter && !s.device_filter &&
           !s.sample_grabber && !s.capture_builder && !s.graph_builder && !s.audio_device;
}

std::vector<std::wstring> graph_filter_names(IGraphBuilder* graph) {
    std::vector<std::wstring> names;
    vlx::ComPtr<IEnumFilters> filters;
    if (!graph || FAILED(graph->EnumFilters(filters.put()))) return names;
    vlx::ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.put(), nullptr) == S_OK) {
        FILTER_INFO info{};
        if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
            names.emplace_back(info.achName);
            if (info.pGraph) info.pGraph->Release();
        }
    }
    return names;
}

void InProcessCapture::SetUp() {
    vlx::fault::clear_all();
    ASSERT_EQ(vlx_Init(), 0);
    camera = device_position(VLXCAM_NAME_MAIN);
    ASSERT_GE(camera, 0) << "the test camera is not registered";
}

void InProcessCapture::TearDown() {
    vlx::fault::clear_all();
    for (int32_t slot = 0; slot < VLX_SLOT_COUNT; ++slot) {
        vlx_SetActiveSel(slot);
        vlx_Close();
        vlx_SetDevWidth(0);
        vlx_SetDevHeight(0);
        vlx_SetDevFrameRate(0.0);
        vlx_SetStillSize(0, 0);
        vlx::active_slot().render_mode = 0;
    }
    vlx_SetActiveSel(0);
    vlx_SetLogBuffer(nullptr, 0);
    vlx_SetLogLevel(0);
    vlx_Exit();
    EXPECT_EQ(camera_live_objects(), 0);
}

}  // namespace vlx_test
