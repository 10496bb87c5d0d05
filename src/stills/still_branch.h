// The still branch of a slot's graph: the device's still pin set to the
// size the host asked for, into a Sample Grabber of its own (RGB24, as the
// capture grabber) and a Null Renderer, "Still Grabber" and "Still
// Renderer"; the grabber hands every still to the slot's listener. The
// device's IAMVideoControl is kept for the trigger, and its external
// trigger (the button) is enabled where the still pin offers one.
#pragma once

#include "library/library_state.h"

#include <cstdint>

namespace vlx {

// The context strings of one function's branch calls (vlx_Open's when the
// slot asked for stills before it opened, vlx_SetStillSize's otherwise).
struct StillBranchCalls {
    const char* stream_config;    // StillPin->QueryInterface(IAMStreamConfig)
    const char* count;            // AMStreamConfig->GetNumberOfCapabilities(Still)
    const char* stream_caps;      // AMStreamConfig->GetStreamCaps(Still)
    const char* set_format;       // AMStreamConfig->SetFormat(Still)
    const char* create_grabber;   // CoCreateInstance(StillGrabber)
    const char* query_grabber;    // StillGrabberFilter->QueryInterface(ISampleGrabber)
    const char* media_type;       // StillGrabber->SetMediaType
    const char* add_grabber;      // GraphBuilder->AddFilter(StillGrabber)
    const char* create_renderer;  // CoCreateInstance(StillRenderer)
    const char* add_renderer;     // GraphBuilder->AddFilter(StillRenderer)
    const char* render;           // CaptureGraphBuilder2->RenderStream(Still)
    const char* set_callback;     // StillGrabber->SetCallback
    const char* connected_type;   // StillGrabber->GetConnectedMediaType
    const char* query_control;    // DeviceFilter->QueryInterface(AMVideoControl)
    const char* get_caps;         // AMVideoControl->GetCaps
    const char* get_mode;         // AMVideoControl->GetMode
    const char* set_mode;         // AMVideoControl->SetMode(ExternalTriggerEnable)
};

// Slot `index` (open, not running) takes stills of `width` x `height`: the
// branch is built, or the one it has takes that size. A code of
// StillSizeCode: 1 when the device has no still pin (nothing is built).
int32_t build_still_branch(int32_t index, Slot& slot, int32_t width, int32_t height, const StillBranchCalls& calls);

}  // namespace vlx
