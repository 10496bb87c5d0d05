#include "config/capability_info.h"

#include "common/media_type.h"
#include "formats/capabilities.h"
#include "library/library_state.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

constexpr int32_t kItemCount = 6;

int32_t item_of(const VIDEOINFOHEADER& vih, int32_t item) {
    switch (item) {
    case 0:
        return static_cast<int32_t>(vih.bmiHeader.biWidth);
    case 1:
        return static_cast<int32_t>(vih.bmiHeader.biHeight);
    case 2:
        return static_cast<int32_t>(vih.dwBitRate);
    case 3:
        return static_cast<int32_t>(vih.dwBitErrorRate);
    case 4:
        return static_cast<int32_t>(static_cast<uint32_t>(vih.AvgTimePerFrame));
    default:
        return static_cast<int32_t>(vih.bmiHeader.biCompression);
    }
}

}  // namespace

int32_t capability_info(int32_t item) {
    const Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.capture_builder) return -3;
    // The device filter goes to FindInterface as the slot holds it.
    ComPtr<IAMStreamConfig> config;
    const HRESULT found =
        find_stream_config(slot.capture_builder.get(), slot.device_filter.get(),
                           "vlx_GetCapInfo->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)", config);
    if (FAILED(found) || !config) return -4;
    const CapabilityCount caps =
        count_capabilities(config.get(), "vlx_GetCapInfo->AMStreamConfig->GetNumberOfCapabilities");
    if (caps.status != S_OK) return -2;
    if (caps.block_size != kCapsBlockSize) return -5;
    if (caps.count <= 0 || item < 0 || item >= kItemCount) return 0;

    // Capability 0 is read without the usability tests of the lists, but
    // never past the end of its format block.
    MediaTypePtr type;
    VIDEO_STREAM_CONFIG_CAPS block{};
    const HRESULT read = platform_call("vlx_GetCapInfo.AMStreamConfig.GetStreamCaps", [&] {
        return config->GetStreamCaps(0, type.put(), reinterpret_cast<BYTE*>(&block));
    });
    const VIDEOINFOHEADER* vih = FAILED(read) || !type ? nullptr : whole_video_info(*type.get());
    return vih ? item_of(*vih, item) : kCapabilityUnreadable;
}

}  // namespace vlx
