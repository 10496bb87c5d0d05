#include "graph/capabilities.h"

#include "common/media_type.h"
#include "library/platform_call.h"

namespace vlx {

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

void visit_usable_capabilities(IAMStreamConfig* config, int count, const char* context,
                               const std::function<bool(AM_MEDIA_TYPE&, VIDEOINFOHEADER&)>& visit) {
    for (int index = 0; index < count; ++index) {
        MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        const HRESULT status = reported_call(context, [&] {
            return config->GetStreamCaps(index, type.put(), reinterpret_cast<BYTE*>(&caps));
        });
        if (FAILED(status) || !type) continue;
        if (!IsEqualGUID(type->formattype, FORMAT_VideoInfo) || type->cbFormat < sizeof(VIDEOINFOHEADER) ||
            !type->pbFormat) {
            continue;
        }
        if (!visit(*type.get(), *reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat))) return;
    }
}

}  // namespace vlx
