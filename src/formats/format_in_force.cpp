#include "formats/format_in_force.h"

#include "common/media_type.h"
#include "formats/format_capability.h"
#include "formats/subtype_text.h"
#include "graph/capabilities.h"
#include "library/library_state.h"
#include "library/platform_call.h"
#include "vidlox.h"

#include <cstring>
#include <string>

namespace vlx {

int32_t read_format_in_force(char* subtype, int32_t* width, int32_t* height, double* frame_rate) {
    if (!library_initialised()) return -1;
    if (!subtype || !width || !height || !frame_rate) return -2;
    const Slot& slot = active_slot();
    if (!slot.capture_builder) return -3;
    if (!slot.device_filter) return -4;
    ComPtr<IAMStreamConfig> config;
    if (find_stream_config(slot.capture_builder.get(), slot.device_filter.get(),
                           "vlx_GetDevFormat->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
                           config) != S_OK ||
        !config)
        return -5;
    // IAMStreamConfig lives on the pin it configures.
    ComPtr<IPin> pin;
    if (reported_call("vlx_GetDevFormat->AMStreamConfig->QueryInterface(IPin)", [&] { return config.query(pin); }) !=
            S_OK ||
        !pin)
        return -6;

    // Whether the pin is connected is a question, not a failure: asked
    // without a report, so that an unconnected pin posts no error.
    ComPtr<IPin> peer;
    platform_call("vlx_GetDevFormat.CapturePin.ConnectedTo", [&] { return pin->ConnectedTo(peer.put()); });
    MediaType connected;
    MediaTypePtr current;
    HRESULT read;
    const AM_MEDIA_TYPE* type;
    if (peer) {
        read = reported_call("vlx_GetDevFormat->CapturePin->ConnectionMediaType",
                             [&] { return pin->ConnectionMediaType(connected.get()); });
        type = connected.get();
    } else {
        read = reported_call("vlx_GetDevFormat->AMStreamConfig->GetFormat",
                             [&] { return config->GetFormat(current.put()); });
        type = current.get();
    }
    if (read != S_OK || !type) return -7;
    const auto fields = video_fields(*type);
    if (!fields) return -8;

    std::string text = subtype_text(type->subtype);
    if (text.size() >= VLX_SUBTYPE_TEXT_SIZE) text = "OTHER";
    std::memcpy(subtype, text.c_str(), text.size() + 1);
    *width = fields->width;
    *height = fields->height;
    *frame_rate = frame_rate_of(fields->interval);
    return 0;
}

}  // namespace vlx
