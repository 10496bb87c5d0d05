// Which one capability answers a host's request: a pure function of the
// capability list and the request, so that the rule can be read and tested
// apart from any device.
#pragma once

#include "formats/format_capability.h"

#include <cstdint>
#include <optional>
#include <span>

namespace vlx {

struct FormatRequest {
    GUID subtype{};  // GUID_NULL: any
    int32_t width = 0;   // 0: any; a negative value counts by its magnitude
    int32_t height = 0;
    std::optional<REFERENCE_TIME> interval;  // the frame interval; none: any
};

// The position in `capabilities` of the capability that `choice`
// (VLX_FORMAT_CHOICE_EXACT or _NEAREST) picks for `request`; nothing when
// no capability the grabber can take qualifies.
std::optional<size_t> choose_capability(std::span<const FormatCapability> capabilities,
                                        const FormatRequest& request, int32_t choice);

// The AvgTimePerFrame to offer the chosen capability with; nothing keeps
// the capability's own.
std::optional<REFERENCE_TIME> interval_to_offer(const FormatCapability& capability, const FormatRequest& request,
                                                int32_t choice);

}  // namespace vlx
