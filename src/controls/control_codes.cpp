#include "controls/control_codes.h"

#include "library/library_state.h"
#include "vidlox.h"

namespace vlx {

IBaseFilter* control_device(int32_t& refusal) {
    if (!library_initialised()) {
        refusal = kControlNotInitialised;
        return nullptr;
    }
    const Slot& slot = active_slot();
    // A slot whose moniker could not be bound is open without a device.
    if (!slot.is_open() || !slot.device_filter) {
        refusal = kControlSlotNotOpen;
        return nullptr;
    }
    refusal = 0;
    return slot.device_filter.get();
}

int32_t read_range(const DeviceControls& device, LONG property, ControlRange& range) {
    const HRESULT status = device.get_range(property, range);
    if (lacks_property(status)) return kControlLacksProperty;
    if (FAILED(status)) return kControlGetRangeFailed;
    // Some drivers answer S_OK with an empty range for what they do not have.
    if ((range.modes & (VLX_CONTROL_AUTO | VLX_CONTROL_MANUAL)) == 0) return kControlLacksProperty;
    return 0;
}

}  // namespace vlx
