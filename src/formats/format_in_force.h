// The format the active slot's capture pin delivers: vlx_GetDevFormat, and
// the same reading under other exports' context strings.
#pragma once

#include "common/directshow.h"
#include "formats/format_capability.h"
#include "library/platform_call.h"

#include <cstdint>

namespace vlx {

// The context strings of one export's reading, and the step name of its
// unreported ConnectedTo.
struct InForceCalls {
    const char* find_interface;   // FindInterface(PIN_CATEGORY_CAPTURE)
    const char* query_pin;        // the IAMStreamConfig's QueryInterface(IPin)
    StepName connected_to;
    const char* connection_type;  // ConnectionMediaType
    const char* get_format;       // IAMStreamConfig::GetFormat
};

struct FormatInForce {
    GUID subtype{};
    VideoFields fields{};
};

// The media type of the capture pin's connection or, unconnected, its
// current format: 0, or -3 ... -8 as vlx_GetDevFormat answers them (no
// graph, no device, no IAMStreamConfig, on no pin, the read failed, not
// video). Needs an initialised library.
int32_t format_in_force(const InForceCalls& calls, FormatInForce& format);

// vlx_GetDevFormat.
int32_t read_format_in_force(char* subtype, int32_t* width, int32_t* height, double* frame_rate);

}  // namespace vlx
