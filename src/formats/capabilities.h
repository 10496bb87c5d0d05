// Access to the capture pin's capabilities, shared by the format request and
// the capability lists: how the pin's IAMStreamConfig is found, which
// capabilities are usable, and the frame-rate arithmetic.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace vlx {

inline constexpr int kCapsBlockSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);  // 128

// The AvgTimePerFrame for a requested rate, truncated toward zero to 32 bits.
// A rate that is not positive, not a number, or so small that its frame time
// leaves the 32-bit range asks for no particular rate.
std::optional<REFERENCE_TIME> time_per_frame_for(double rate);

// FindInterface(PIN_CATEGORY_CAPTURE, IID_IAMStreamConfig) on the device,
// reported under `context`.
HRESULT find_stream_config(ICaptureGraphBuilder2* builder, IBaseFilter* device, const char* context,
                           ComPtr<IAMStreamConfig>& config);

struct CapabilityCount {
    HRESULT status;
    int count = 0;
    int block_size = 0;  // stays 0 when the call failed
};
CapabilityCount count_capabilities(IAMStreamConfig* config, const char* context);

// Context strings of the opening that vlx_SetDevCapConfig and the capability
// lists share, and of their GetStreamCaps calls.
struct CapabilityCalls {
    const char* find_interface;
    const char* count;
    const char* stream_caps;
};

// That opening: -1 library not initialised, -2 no capture graph builder in
// the active slot, -3 no device filter, -4 FindInterface did not answer S_OK;
// 0 with the capture pin's IAMStreamConfig and its capability count.
int32_t open_capabilities(const CapabilityCalls& calls, ComPtr<IAMStreamConfig>& config, CapabilityCount& caps);

// The VIDEOINFOHEADER of a FORMAT_VideoInfo type whose format block holds a
// whole one; null for any other type.
VIDEOINFOHEADER* whole_video_info(const AM_MEDIA_TYPE& type);

// Calls `visit` for each usable capability in index order (a successful
// GetStreamCaps with a FORMAT_VideoInfo type whose format block holds a
// whole VIDEOINFOHEADER); `visit` returns false to stop. Each GetStreamCaps
// is reported under `context`. The caller has checked the block size.
void visit_usable_capabilities(IAMStreamConfig* config, int count, const char* context,
                               const std::function<bool(AM_MEDIA_TYPE&, VIDEOINFOHEADER&)>& visit);

}  // namespace vlx
