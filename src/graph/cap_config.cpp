#include "graph/cap_config.h"

#include "common/dib_size.h"
#include "library/library_state.h"
#include "library/platform_call.h"
#include "graph/capabilities.h"
#include "graph/tee_reconnect.h"

#include <cmath>
#include <cstdlib>
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

// An uncompressed RGB type announces its frame size twice, in biSizeImage and
// lSampleSize. Drivers that take the type as given allocate and describe
// samples by those fields, so they must follow the new width and height; a
// size that 32 bits cannot hold (or a negative width) is written as 0,
// "not stated", rather than as a wrong number.
void match_frame_size(AM_MEDIA_TYPE& type, BITMAPINFOHEADER& bmi) {
    if (bmi.biCompression != BI_RGB && bmi.biCompression != BI_BITFIELDS) return;
    bmi.biSizeImage = dib_frame_bytes(bmi.biWidth, bmi.biBitCount, std::llabs(bmi.biHeight)).value_or(0);
    type.lSampleSize = bmi.biSizeImage;
}

}  // namespace

bool format_requested() {
    const Slot& slot = active_slot();
    return slot.requested_width != 0 || slot.requested_height != 0 || !(slot.requested_frame_rate == 0.0);
}

int32_t apply_requested_format() {
    static constexpr CapabilityCalls kCalls{
        "vlx_SetDevCapConfig->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
        "vlx_SetDevCapConfig->AMStreamConfig->GetNumberOfCapabilities",
        "vlx_SetDevCapConfig->AMStreamConfig->GetStreamCaps"};
    ComPtr<IAMStreamConfig> config;
    CapabilityCount caps{};
    if (const int32_t refused = open_capabilities(kCalls, config, caps)) return refused;
    // Any other block size means the pin is not a video pin.
    if (caps.block_size != kCapsBlockSize || caps.count <= 0) return 0;

    int32_t result = 0;
    bool taken = false;
    visit_usable_capabilities(
        config.get(), caps.count, kCalls.stream_caps,
        [&](AM_MEDIA_TYPE& type, VIDEOINFOHEADER& vih) {
            const Slot& wanted = active_slot();  // read afresh for every capability
            vih.bmiHeader.biHeight = wanted.requested_height;
            vih.bmiHeader.biWidth = wanted.requested_width;
            match_frame_size(type, vih.bmiHeader);
            if (const auto time = time_per_frame_for(wanted.requested_frame_rate)) vih.AvgTimePerFrame = *time;
            const HRESULT set = reported_call("vlx_SetDevCapConfig->AMStreamConfig->SetFormat",
                                              [&] { return config->SetFormat(&type); });
            if (FAILED(set)) {
                result = 1;
                return false;
            }
            taken = taken || set == S_OK;
            return true;
        });
    // A connected capture pin reconnects with a format it took; the Smart
    // Tee behind a capture-only pin must then follow (tee_reconnect.h).
    const Slot& slot = active_slot();
    ComPtr<IPin> capture_pin;
    if (taken && !slot.is_running() &&
        platform_call("vlx_SetDevCapConfig.AMStreamConfig.QueryInterface(Pin)",
                      [&] { return config.query(capture_pin); }) == S_OK)
        reconnect_tee_outputs(slot.graph_builder.get(), capture_pin.get());
    return result;
}

}  // namespace vlx
