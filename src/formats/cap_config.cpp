#include "formats/cap_config.h"

#include "common/dib_size.h"
#include "formats/chosen_format.h"
#include "formats/format_request.h"
#include "formats/capabilities.h"
#include "formats/tee_reconnect.h"
#include "library/library_state.h"
#include "library/platform_call.h"

#include <cstdlib>
#include <limits>
#include <optional>

namespace vlx {

namespace {

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
    // A subtype is only read by a host that asked for one capability.
    return slot.requested_width != 0 || slot.requested_height != 0 || !(slot.requested_frame_rate == 0.0) ||
           (chooses_one_format(slot) && subtype_requested(slot));
}

int32_t apply_requested_format() {
    static constexpr CapabilityCalls kCalls{
        "vlx_SetDevCapConfig->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
        "vlx_SetDevCapConfig->AMStreamConfig->GetNumberOfCapabilities",
        "vlx_SetDevCapConfig->AMStreamConfig->GetStreamCaps"};
    static constexpr const char* kSetFormat = "vlx_SetDevCapConfig->AMStreamConfig->SetFormat";
    ComPtr<IAMStreamConfig> config;
    CapabilityCount caps{};
    if (const int32_t refused = open_capabilities(kCalls, config, caps)) return refused;
    int32_t result = 0;
    std::optional<TakenFormat> taken;  // the last format the pin took
    if (chooses_one_format(active_slot())) {
        result = offer_chosen_capability(config.get(), caps, kCalls.stream_caps, kSetFormat, taken);
    } else {
        // Any other block size means the pin is not a video pin.
        if (caps.block_size != kCapsBlockSize || caps.count <= 0) return 0;
        visit_usable_capabilities(
            config.get(), caps.count, kCalls.stream_caps,
            [&](AM_MEDIA_TYPE& type, VIDEOINFOHEADER& vih) {
                const Slot& wanted = active_slot();  // read afresh for every capability
                vih.bmiHeader.biHeight = wanted.requested_height;
                vih.bmiHeader.biWidth = wanted.requested_width;
                match_frame_size(type, vih.bmiHeader);
                if (const auto time = time_per_frame_for(wanted.requested_frame_rate)) vih.AvgTimePerFrame = *time;
                const HRESULT set = reported_call(kSetFormat, [&] { return config->SetFormat(&type); });
                if (FAILED(set)) {
                    result = 1;
                    return false;
                }
                if (set == S_OK) taken = taken_format_of(type, vih);
                return true;
            });
    }
    // A connected capture pin reconnects with a format it took; the Smart
    // Tee behind a capture-only pin must then follow (tee_reconnect.h).
    const Slot& slot = active_slot();
    ComPtr<IPin> capture_pin;
    if (taken && !slot.is_running() &&
        platform_call("vlx_SetDevCapConfig.AMStreamConfig.QueryInterface(Pin)",
                      [&] { return config.query(capture_pin); }) == S_OK &&
        !reconnect_tee_outputs(slot.graph_builder.get(), capture_pin.get(), *taken))
        return kTeeLeftUnconnected;
    return result;
}

}  // namespace vlx
