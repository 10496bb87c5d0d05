// The codes the control exports share (include/vidlox.h, "camera controls"),
// and the checks that come before any of them asks the device.
#pragma once

#include "common/directshow.h"
#include "controls/device_controls.h"

#include <cstdint>

namespace vlx {

enum ControlCode : int32_t {
    kControlHeld = 0,
    kControlDiffers = 1,  // Set succeeded, the device holds something else
    kControlNotInitialised = -1,
    kControlSlotNotOpen = -2,
    kControlUnknownId = -3,
    kControlNullPointer = -4,
    kControlNoInterface = -5,
    kControlLacksProperty = -6,
    kControlOffRange = -7,
    kControlBadMode = -8,
    kControlGetRangeFailed = -9,
    kControlGetFailed = -10,
    kControlSetFailed = -11,
    kControlOutOfMemory = -12,  // what an export's guard answers for an exception
};

// The active slot's device filter, or null after `refusal` is set to -1 or -2.
IBaseFilter* control_device(int32_t& refusal);

// GetRange's answer as a code: 0 when the device has the property (a range
// with at least one mode flag), -6 when it lacks it, -9 for other failures.
int32_t read_range(const DeviceControls& device, LONG property, ControlRange& range);

}  // namespace vlx
