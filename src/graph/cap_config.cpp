#include "graph/cap_config.h"

#include "library/library_state.h"
#include "library/platform_call.h"
#include "graph/capabilities.h"

#include <cmath>
#include <limits>
#include <optional>

namespace vlx {

namespace {

// The AvgTimePerFrame for a requested rate, truncated toward zero to 32 bits.
// A rate that is not positive, not a number, or so small that its frame time
// leaves the 32-bit range asks for no particular rate: the capability keeps
// its own time per frame.
std::optional<REFERENCE_TIME> time_per_frame_for(double rate) {
    if (!(rate > 0.0)) return std::nullopt;
    const double time = std::trunc(10000000.0 / rate);
    if (!(time <= static_cast<double>(std::numeric_limits<int32_t>::max()))) return std::nullopt;
    return static_cast<REFERENCE_TIME>(static_cast<int32_t>(time));
}

}  // namespace

bool format_requested() {
    const Slot& slot = active_slot();
    return slot.requested_width != 0 || slot.requested_height != 0 || !(slot.requested_frame_rate == 0.0);
}

int32_t apply_requested_format() {
    if (!library_initialised()) return -1;
    Slot& slot = active_slot();
    if (!slot.capture_builder) return -2;
    if (!slot.device_filter) return -3;

    ComPtr<IAMStreamConfig> config;
    if (find_stream_config(slot.capture_builder.get(), slot.device_filter.get(),
                           "vlx_SetDevCapConfig->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
                           config) != S_OK ||
        !config) {
        return -4;
    }
    const CapabilityCount caps =
        count_capabilities(config.get(), "vlx_SetDevCapConfig->AMStreamConfig->GetNumberOfCapabilities");
    // Any other block size means the pin is not a video pin.
    if (caps.block_size != kCapsBlockSize || caps.count <= 0) return 0;

    int32_t result = 0;
    visit_usable_capabilities(
        config.get(), caps.count, "vlx_SetDevCapConfig->AMStreamConfig->GetStreamCaps",
        [&](AM_MEDIA_TYPE& type, VIDEOINFOHEADER& vih) {
            const Slot& wanted = active_slot();  // read afresh for every capability
            vih.bmiHeader.biHeight = wanted.requested_height;
            vih.bmiHeader.biWidth = wanted.requested_width;
            if (const auto time = time_per_frame_for(wanted.requested_frame_rate)) vih.AvgTimePerFrame = *time;
            const HRESULT set = reported_call("vlx_SetDevCapConfig->AMStreamConfig->SetFormat",
                                              [&] { return config->SetFormat(&type); });
            if (FAILED(set)) {
                result = 1;
                return false;
            }
            return true;
        });
    return result;
}

}  // namespace vlx
