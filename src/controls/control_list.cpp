#include "controls/control_list.h"

#include "controls/control_codes.h"
#include "controls/control_table.h"
#include "controls/device_controls.h"
#include "enum/name_list.h"
#include "library/library_state.h"
#include "library/list_budget.h"

#include <cstdio>
#include <string>

namespace vlx {

namespace {

constexpr ExportContexts kListCalls{
    .video_proc_amp = {.query = "vlx_GetControlList->DeviceFilter->QueryInterface(VideoProcAmp)",
                       .get_range = "vlx_GetControlList->VideoProcAmp->GetRange",
                       .get = "vlx_GetControlList->VideoProcAmp->Get"},
    .camera_control = {.query = "vlx_GetControlList->DeviceFilter->QueryInterface(CameraControl)",
                       .get_range = "vlx_GetControlList->CameraControl->GetRange",
                       .get = "vlx_GetControlList->CameraControl->Get"},
};

constexpr ExportContexts kSizeCalls{
    .video_proc_amp = {.query = "vlx_GetControlListSize->DeviceFilter->QueryInterface(VideoProcAmp)",
                       .get_range = "vlx_GetControlListSize->VideoProcAmp->GetRange"},
    .camera_control = {.query = "vlx_GetControlListSize->DeviceFilter->QueryInterface(CameraControl)",
                       .get_range = "vlx_GetControlListSize->CameraControl->GetRange"},
};

// The line of one control. Only the numbers after the name change with the
// device's state, and each takes a fixed width, so the line's length does not.
std::string control_line(const ControlInfo& control, const ControlRange& range, LONG value, LONG mode) {
    char numbers[7 * (kControlListNumberWidth + 1) + 1];
    std::snprintf(numbers, sizeof numbers, "\t%*ld\t%*ld\t%*ld\t%*ld\t%*ld\t%*ld\t%*ld", kControlListNumberWidth,
                  range.minimum, kControlListNumberWidth, range.maximum, kControlListNumberWidth, range.step,
                  kControlListNumberWidth, range.default_value, kControlListNumberWidth, range.modes,
                  kControlListNumberWidth, value, kControlListNumberWidth, mode);
    return std::to_string(control.id) + "\t" + control.name + numbers;
}

ListKey control_list() { return {SizedList::controls, library().active_slot}; }

}  // namespace

int32_t visit_controls(const ExportContexts& calls, const ControlVisit& visit) {
    int32_t refusal = 0;
    IBaseFilter* const filter = control_device(refusal);
    if (!filter) return refusal;
    const DeviceControls proc_amp(filter, ControlFamily::video_proc_amp, calls.video_proc_amp);
    const DeviceControls camera(filter, ControlFamily::camera_control, calls.camera_control);
    for (const ControlInfo& control : all_controls()) {
        const DeviceControls& device = control.family == ControlFamily::camera_control ? camera : proc_amp;
        if (!device.present()) continue;
        ControlRange range;
        if (read_range(device, control.property, range) != 0) continue;
        visit(control, device, range);
    }
    return 0;
}

int32_t list_controls(char* text) {
    // A null buffer is refused before the slot is looked at or the device asked.
    if (!text) return library_initialised() ? kControlNullPointer : kControlNotInitialised;
    ListText list(text, size_answer(control_list()));
    const int32_t refused = visit_controls(kListCalls, [&](const ControlInfo& control, const DeviceControls& device,
                                                            const ControlRange& range) {
        LONG value = 0, mode = 0;
        // A value that cannot be read keeps the line, as 0 in mode 0: the
        // lines stay those the size query counted.
        if (FAILED(device.get(control.property, value, mode))) value = mode = 0;
        list.add(control_line(control, range, value, mode));
    });
    return refused ? refused : list.count();
}

int32_t control_list_size() {
    ListSize size;
    const int32_t refused = visit_controls(kSizeCalls, [&](const ControlInfo& control, const DeviceControls&,
                                                           const ControlRange& range) {
        size.add(control_line(control, range, 0, 0).size());
    });
    const int32_t answer = refused ? refused : size.bytes();
    remember_size_answer(control_list(), answer);
    return answer;
}

}  // namespace vlx
