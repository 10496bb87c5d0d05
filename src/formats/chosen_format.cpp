#include "formats/chosen_format.h"

#include "formats/capability_table.h"
#include "formats/format_choice.h"
#include "formats/format_request.h"
#include "library/platform_call.h"

#include <algorithm>

namespace vlx {

int32_t offer_chosen_capability(IAMStreamConfig* config, const CapabilityCount& caps, const char* stream_caps_call,
                                const char* set_format_call, std::optional<TakenFormat>& taken) {
    if (caps.block_size != kCapsBlockSize || caps.count <= 0) return kNothingToChoose;
    CapabilityTable table = read_capability_table(config, caps.count, stream_caps_call);
    const auto& described = table.descriptions;
    if (std::none_of(described.begin(), described.end(),
                     [](const FormatCapability& capability) { return capability.grabber_can_take; }))
        return kNothingToChoose;

    const Slot& slot = active_slot();
    const FormatRequest request = format_request_of(slot);
    const auto chosen = choose_capability(described, request, slot.format_choice);
    if (!chosen) return kNoExactMatch;
    AM_MEDIA_TYPE& type = *table.types[*chosen].get();
    // Only capabilities with a whole VIDEOINFOHEADER are ever chosen.
    auto& vih = *reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
    if (const auto interval = interval_to_offer(described[*chosen], request, slot.format_choice))
        vih.AvgTimePerFrame = *interval;
    const HRESULT set = reported_call(set_format_call, [&] { return config->SetFormat(&type); });
    if (set == S_OK) taken = taken_format_of(type, vih);
    return FAILED(set) ? 1 : 0;
}

int32_t open_code_for_format_failure(int32_t result) {
    switch (result) {
    case kNoExactMatch:
        return kOpenNoExactMatch;
    case kNothingToChoose:
        return kOpenNothingToChoose;
    default:
        return kOpenFormatFailed;
    }
}

}  // namespace vlx
