#include "formats/format_in_force.h"

#include "formats/format_codes.h"

#include "common/media_type.h"
#include "formats/format_capability.h"
#include "formats/subtype_text.h"
#include "formats/capabilities.h"
#include "library/library_state.h"
#include "library/platform_call.h"
#include "vidlox.h"

#include <cstring>
#include <string>

namespace vlx {

int32_t format_in_force(const InForceCalls& calls, FormatInForce& format) {
    const Slot& slot = active_slot();
    if (!slot.capture_builder) return kInForceNoGraph;
    if (!slot.device_filter) return kInForceNoDevice;
    ComPtr<IAMStreamConfig> config;
    if (find_stream_config(slot.capture_builder.get(), slot.device_filter.get(), calls.find_interface, config) !=
            S_OK ||
        !config)
        return kInForceNoStreamConfig;
    // IAMStreamConfig lives on the pin it configures.
    ComPtr<IPin> pin;
    if (reported_call(calls.query_pin, [&] { return config.query(pin); }) != S_OK || !pin)
        return kInForceConfigOnNoPin;

    // Whether the pin is connected is a question, not a failure: asked
    // without a report, so that an unconnected pin posts no error.
    ComPtr<IPin> peer;
    platform_call(calls.connected_to, [&] { return pin->ConnectedTo(peer.put()); });
    MediaType connected;
    MediaTypePtr current;
    HRESULT read;
    const AM_MEDIA_TYPE* type;
    if (peer) {
        read = reported_call(calls.connection_type, [&] { return pin->ConnectionMediaType(connected.get()); });
        type = connected.get();
    } else {
        read = reported_call(calls.get_format, [&] { return config->GetFormat(current.put()); });
        type = current.get();
    }
    if (read != S_OK || !type) return kInForceReadFailed;
    const auto fields = video_fields(*type);
    if (!fields) return kInForceNotVideo;
    format.subtype = type->subtype;
    format.fields = *fields;
    return 0;
}

int32_t read_format_in_force(char* subtype, int32_t* width, int32_t* height, double* frame_rate) {
    static constexpr InForceCalls kCalls{
        .find_interface = "vlx_GetDevFormat->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
        .query_pin = "vlx_GetDevFormat->AMStreamConfig->QueryInterface(IPin)",
        .connected_to = "vlx_GetDevFormat.CapturePin.ConnectedTo",
        .connection_type = "vlx_GetDevFormat->CapturePin->ConnectionMediaType",
        .get_format = "vlx_GetDevFormat->AMStreamConfig->GetFormat",
    };
    if (!library_initialised()) return kInForceNotInitialised;
    if (!subtype || !width || !height || !frame_rate) return kInForceNullArgument;
    FormatInForce format;
    if (const int32_t refused = format_in_force(kCalls, format)) return refused;
    std::string text = subtype_text(format.subtype);
    if (text.size() >= VLX_SUBTYPE_TEXT_SIZE) text = "OTHER";
    std::memcpy(subtype, text.c_str(), text.size() + 1);
    *width = format.fields.width;
    *height = format.fields.height;
    *frame_rate = frame_rate_of(format.fields.interval);
    return 0;
}

}  // namespace vlx
