// Every capability a capture pin lists, read once: the plain descriptions
// that the list and the choice work on, beside the media types themselves,
// one of which may then be offered to SetFormat.
#pragma once

#include "common/directshow.h"
#include "common/media_type.h"
#include "formats/format_capability.h"

#include <deque>
#include <vector>

namespace vlx {

struct CapabilityTable {
    std::vector<FormatCapability> descriptions;
    std::deque<MediaTypePtr> types;  // types[k] is described by descriptions[k]
};

// GetStreamCaps for capabilities 0 ... count-1, each reported under
// `context`; a capability whose call fails or gives no type is left out.
// The caller has checked that the capabilities block is 128 bytes.
CapabilityTable read_capability_table(IAMStreamConfig* config, int count, const char* context);

}  // namespace vlx
