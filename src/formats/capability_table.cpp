#include "formats/capability_table.h"

#include "library/platform_call.h"

namespace vlx {

CapabilityTable read_capability_table(IAMStreamConfig* config, int count, const char* context) {
    CapabilityTable table;
    for (int index = 0; index < count; ++index) {
        MediaTypePtr& type = table.types.emplace_back();
        VIDEO_STREAM_CONFIG_CAPS caps{};
        const HRESULT status = reported_call(context, [&] {
            return config->GetStreamCaps(index, type.put(), reinterpret_cast<BYTE*>(&caps));
        });
        // S_FALSE marks an index past the end, where no type comes back.
        if (FAILED(status) || !type) {
            table.types.pop_back();
            continue;
        }
        table.descriptions.push_back(describe_capability(index, *type.get(), caps));
    }
    return table;
}

}  // namespace vlx
