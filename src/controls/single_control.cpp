#include "controls/single_control.h"

#include "controls/control_codes.h"
#include "controls/control_table.h"
#include "controls/device_controls.h"
#include "vidlox.h"

namespace vlx {

namespace {

constexpr ExportContexts kRangeCalls{
    .video_proc_amp = {.query = "vlx_GetControlRange->DeviceFilter->QueryInterface(VideoProcAmp)",
                       .get_range = "vlx_GetControlRange->VideoProcAmp->GetRange"},
    .camera_control = {.query = "vlx_GetControlRange->DeviceFilter->QueryInterface(CameraControl)",
                       .get_range = "vlx_GetControlRange->CameraControl->GetRange"},
};

constexpr ExportContexts kGetCalls{
    .video_proc_amp = {.query = "vlx_GetControl->DeviceFilter->QueryInterface(VideoProcAmp)",
                       .get = "vlx_GetControl->VideoProcAmp->Get"},
    .camera_control = {.query = "vlx_GetControl->DeviceFilter->QueryInterface(CameraControl)",
                       .get = "vlx_GetControl->CameraControl->Get"},
};

constexpr ExportContexts kSetCalls{
    .video_proc_amp = {.query = "vlx_SetControl->DeviceFilter->QueryInterface(VideoProcAmp)",
                       .get_range = "vlx_SetControl->VideoProcAmp->GetRange",
                       .get = "vlx_SetControl->VideoProcAmp->Get",
                       .set = "vlx_SetControl->VideoProcAmp->Set"},
    .camera_control = {.query = "vlx_SetControl->DeviceFilter->QueryInterface(CameraControl)",
                       .get_range = "vlx_SetControl->CameraControl->GetRange",
                       .get = "vlx_SetControl->CameraControl->Get",
                       .set = "vlx_SetControl->CameraControl->Set"},
};

// The checks every single-control export makes before it asks the device:
// the device of an open slot and a known id.
struct Target {
    IBaseFilter* device = nullptr;
    const ControlInfo* control = nullptr;
};

int32_t find_target(int32_t id, Target& target) {
    int32_t refusal = 0;
    target.device = control_device(refusal);
    if (!target.device) return refusal;
    target.control = find_control(id);
    return target.control ? 0 : kControlUnknownId;
}

// In the range and a whole number of steps from the minimum; a step below 1
// (a driver that states none) allows every value in the range.
bool on_a_step(const ControlRange& range, int32_t value) {
    const int64_t step = range.step < 1 ? 1 : range.step;
    return value >= range.minimum && value <= range.maximum &&
           (static_cast<int64_t>(value) - range.minimum) % step == 0;
}

// The automatic and manual flags of a mode a device reports.
LONG mode_flags(LONG mode) { return mode & (VLX_CONTROL_AUTO | VLX_CONTROL_MANUAL); }

}  // namespace

int32_t control_range(int32_t id, int32_t* minimum, int32_t* maximum, int32_t* step, int32_t* default_value,
                      int32_t* modes) {
    Target target;
    if (const int32_t refused = find_target(id, target)) return refused;
    if (!minimum || !maximum || !step || !default_value || !modes) return kControlNullPointer;
    const DeviceControls device(target.device, target.control->family, kRangeCalls.of(target.control->family));
    if (!device.present()) return kControlNoInterface;
    ControlRange range;
    if (const int32_t refused = read_range(device, target.control->property, range)) return refused;
    *minimum = range.minimum;
    *maximum = range.maximum;
    *step = range.step;
    *default_value = range.default_value;
    *modes = range.modes;
    return kControlHeld;
}

int32_t control_value(int32_t id, int32_t* value, int32_t* mode) {
    Target target;
    if (const int32_t refused = find_target(id, target)) return refused;
    if (!value || !mode) return kControlNullPointer;
    const DeviceControls device(target.device, target.control->family, kGetCalls.of(target.control->family));
    if (!device.present()) return kControlNoInterface;
    LONG held = 0, held_mode = 0;
    const HRESULT status = device.get(target.control->property, held, held_mode);
    if (lacks_property(status)) return kControlLacksProperty;
    if (FAILED(status)) return kControlGetFailed;
    *value = held;
    *mode = held_mode;
    return kControlHeld;
}

int32_t set_control(int32_t id, int32_t value, int32_t mode) {
    Target target;
    if (const int32_t refused = find_target(id, target)) return refused;
    if (mode != VLX_CONTROL_AUTO && mode != VLX_CONTROL_MANUAL) return kControlBadMode;
    const DeviceControls device(target.device, target.control->family, kSetCalls.of(target.control->family));
    if (!device.present()) return kControlNoInterface;
    ControlRange range;
    if (const int32_t refused = read_range(device, target.control->property, range)) return refused;
    return set_within_range(device, target.control->property, range, value, mode);
}

int32_t set_within_range(const DeviceControls& device, LONG property, const ControlRange& range, int32_t value,
                         int32_t mode) {
    if ((mode != VLX_CONTROL_AUTO && mode != VLX_CONTROL_MANUAL) || (range.modes & mode) == 0) return kControlBadMode;
    // Drivers are not trusted to refuse what they cannot hold: nothing
    // outside the stated range or between its steps reaches Set.
    if (mode == VLX_CONTROL_MANUAL && !on_a_step(range, value)) return kControlOffRange;
    // In automatic mode the value goes unused; the default is one the device
    // is sure to take.
    const LONG sent = mode == VLX_CONTROL_MANUAL ? value : range.default_value;
    if (FAILED(device.set(property, sent, mode))) return kControlSetFailed;
    // Several drivers answer S_OK and keep another value: the read-back decides.
    LONG held = 0, held_mode = 0;
    if (FAILED(device.get(property, held, held_mode))) return kControlGetFailed;
    const bool as_asked = mode_flags(held_mode) == mode && (mode == VLX_CONTROL_AUTO || held == value);
    return as_asked ? kControlHeld : kControlDiffers;
}

}  // namespace vlx
