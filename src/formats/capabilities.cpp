#include "formats/capabilities.h"

#include "formats/format_codes.h"

#include "common/media_type.h"
#include "library/library_state.h"
#include "library/platform_call.h"

#include <cmath>
#include <limits>

namespace vlx {

std::optional<REFERENCE_TIME> time_per_frame_for(double rate) {
    if (!(rate > 0.0)) return std::nullopt;
    const double time = std::trunc(10000000.0 / rate);
    if (!(time <= static_cast<double>(std::numeric_limits<int32_t>::max()))) return std::nullopt;
    return static_cast<REFERENCE_TIME>(static_cast<int32_t>(time));
}

HRESULT find_stream_config(ICaptureGraphBuilder2* builder, IBaseFilter* device, const char* context,
                           ComPtr<IAMStreamConfig>& config) {
    return reported_call(context, [&] {
        return builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, device, IID_IAMStreamConfig,
                                      config.put_void());
    });
}

CapabilityCount count_capabilities(IAMStreamConfig* config, const char* context) {
    CapabilityCount result;
    result.status = reported_call(context, [&] {
        return config->GetNumberOfCapabilities(&result.count, &result.block_size);
    });
    if (FAILED(result.status)) result.count = result.block_size = 0;
    return result;
}

int32_t open_capabilities(const CapabilityCalls& calls, ComPtr<IAMStreamConfig>& config, CapabilityCount& caps) {
    if (!library_initialised()) return kCapsNotInitialised;
    const Slot& slot = active_slot();
    if (!slot.capture_builder) return kCapsNoGraph;
    if (!slot.device_filter) return kCapsNoDevice;
    if (find_stream_config(slot.capture_builder.get(), slot.device_filter.get(), calls.find_interface, config) !=
            S_OK ||
        !config) {
        return kCapsNoStreamConfig;
    }
    caps = count_capabilities(config.get(), calls.count);
    return 0;
}

VIDEOINFOHEADER* whole_video_info(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.formattype, FORMAT_VideoInfo) || type.cbFormat < sizeof(VIDEOINFOHEADER) || !type.pbFormat)
        return nullptr;
    return reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
}

void visit_usable_capabilities(IAMStreamConfig* config, int count, const char* context,
                               const std::function<bool(AM_MEDIA_TYPE&, VIDEOINFOHEADER&)>& visit) {
    for (int index = 0; index < count; ++index) {
        MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        const HRESULT status = reported_call(context, [&] {
            return config->GetStreamCaps(index, type.put(), reinterpret_cast<BYTE*>(&caps));
        });
        if (FAILED(status) || !type) continue;
        VIDEOINFOHEADER* video_info = whole_video_info(*type.get());
        if (!video_info) continue;
        if (!visit(*type.get(), *video_info)) return;
    }
}

}  // namespace vlx
