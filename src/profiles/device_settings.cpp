#include "profiles/device_settings.h"

#include "controls/control_codes.h"
#include "controls/control_list.h"
#include "controls/device_controls.h"
#include "controls/single_control.h"
#include "formats/format_codes.h"
#include "formats/format_in_force.h"
#include "graph/capture_format.h"
#include "library/library_state.h"
#include "vidlox.h"

#include <optional>
#include <tuple>

namespace vlx::profiles {

namespace {

constexpr ExportContexts kSaveCalls{
    .video_proc_amp = {.query = "vlx_SaveProfile->DeviceFilter->QueryInterface(VideoProcAmp)",
                       .get_range = "vlx_SaveProfile->VideoProcAmp->GetRange",
                       .get = "vlx_SaveProfile->VideoProcAmp->Get"},
    .camera_control = {.query = "vlx_SaveProfile->DeviceFilter->QueryInterface(CameraControl)",
                       .get_range = "vlx_SaveProfile->CameraControl->GetRange",
                       .get = "vlx_SaveProfile->CameraControl->Get"},
};

constexpr ExportContexts kApplyCalls{
    .video_proc_amp = {.query = "vlx_ApplyProfile->DeviceFilter->QueryInterface(VideoProcAmp)",
                       .get_range = "vlx_ApplyProfile->VideoProcAmp->GetRange",
                       .get = "vlx_ApplyProfile->VideoProcAmp->Get",
                       .set = "vlx_ApplyProfile->VideoProcAmp->Set"},
    .camera_control = {.query = "vlx_ApplyProfile->DeviceFilter->QueryInterface(CameraControl)",
                       .get_range = "vlx_ApplyProfile->CameraControl->GetRange",
                       .get = "vlx_ApplyProfile->CameraControl->Get",
                       .set = "vlx_ApplyProfile->CameraControl->Set"},
};

constexpr InForceCalls kSaveFormat{
    .find_interface = "vlx_SaveProfile->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
    .query_pin = "vlx_SaveProfile->AMStreamConfig->QueryInterface(IPin)",
    .connected_to = "vlx_SaveProfile.CapturePin.ConnectedTo",
    .connection_type = "vlx_SaveProfile->CapturePin->ConnectionMediaType",
    .get_format = "vlx_SaveProfile->AMStreamConfig->GetFormat",
};

constexpr InForceCalls kApplyFormat{
    .find_interface = "vlx_ApplyProfile->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
    .query_pin = "vlx_ApplyProfile->AMStreamConfig->QueryInterface(IPin)",
    .connected_to = "vlx_ApplyProfile.CapturePin.ConnectedTo",
    .connection_type = "vlx_ApplyProfile->CapturePin->ConnectionMediaType",
    .get_format = "vlx_ApplyProfile->AMStreamConfig->GetFormat",
};

std::optional<FormatSetting> read_format(const InForceCalls& calls) {
    FormatInForce format;
    if (format_in_force(calls, format) != 0) return std::nullopt;
    return FormatSetting{format.subtype, format.fields.width, format.fields.height,
                         frame_rate_of(format.fields.interval)};
}

// The fields of a slot's requested format, as one tuple of references.
auto request_of(Slot& slot) {
    return std::tie(slot.requested_width, slot.requested_height, slot.requested_frame_rate, slot.requested_subtype,
                    slot.format_choice);
}

// The slot's requested format, replaced for one format step and given back
// afterwards: a profile leaves what the host asked for as it was.
class RequestedFor {
public:
    explicit RequestedFor(const FormatSetting& format) : slot_(active_slot()), kept_(request_of(slot_)) {
        request_of(slot_) = std::tuple{format.width, format.height, format.frame_rate, format.subtype,
                                       int32_t{VLX_FORMAT_CHOICE_EXACT}};
    }
    ~RequestedFor() { request_of(slot_) = kept_; }
    RequestedFor(const RequestedFor&) = delete;
    RequestedFor& operator=(const RequestedFor&) = delete;

private:
    Slot& slot_;
    const std::tuple<int32_t, int32_t, double, GUID, int32_t> kept_;
};

Outcome apply_format(const FormatSetting& wanted) {
    // A format already in force is left alone: offering it again would
    // reconnect the pin for nothing.
    const auto now = read_format(kApplyFormat);
    if (now && format_value(*now) == format_value(wanted)) return Outcome::applied;
    if (active_slot().is_running()) return Outcome::running;
    int32_t result;
    {
        const RequestedFor request(wanted);
        result = set_capture_format();
    }
    switch (result) {
    case kFormatInForce: return Outcome::applied;
    case kFormatRefused: return Outcome::differs;
    case kNoExactMatch:
    case kNothingToChoose: return Outcome::lacking;
    default: return Outcome::failed;
    }
}

// Each control interface of the device, asked for when a line first needs it.
class Controls {
public:
    explicit Controls(IBaseFilter* device) : device_(device) {}
    const DeviceControls& of(ControlFamily family) {
        auto& held = family == ControlFamily::camera_control ? camera_ : proc_amp_;
        if (!held) held.emplace(device_, family, kApplyCalls.of(family));
        return *held;
    }

private:
    IBaseFilter* device_;
    std::optional<DeviceControls> proc_amp_;
    std::optional<DeviceControls> camera_;
};

bool same_range(const StatedRange& stated, const ControlRange& range) {
    return stated.minimum == range.minimum && stated.maximum == range.maximum && stated.step == range.step;
}

Outcome apply_control(Controls& controls, const ControlSetting& setting) {
    const DeviceControls& device = controls.of(setting.control->family);
    if (!device.present()) return Outcome::lacking;
    ControlRange range;
    switch (read_range(device, setting.control->property, range)) {
    case 0: break;
    case kControlLacksProperty: return Outcome::lacking;
    default: return Outcome::failed;
    }
    if (setting.range && !same_range(*setting.range, range)) return Outcome::range_changed;
    switch (set_within_range(device, setting.control->property, range, setting.value, setting.mode)) {
    case kControlHeld: return Outcome::applied;
    case kControlDiffers: return Outcome::differs;
    case kControlOffRange: return Outcome::off_range;
    case kControlBadMode: return Outcome::bad_mode;
    default: return Outcome::failed;
    }
}

}  // namespace

void read_device_settings(DeviceSettings& settings) {
    settings.format = read_format(kSaveFormat);
    visit_controls(kSaveCalls, [&](const ControlInfo& control, const DeviceControls& device,
                                   const ControlRange& range) {
        LONG value = 0, mode = 0;
        if (FAILED(device.get(control.property, value, mode))) return;
        settings.controls.push_back({.control = &control,
                                     .value = value,
                                     .mode = (mode & VLX_CONTROL_AUTO) ? VLX_CONTROL_AUTO : VLX_CONTROL_MANUAL,
                                     .range = StatedRange{range.minimum, range.maximum, range.step}});
    });
}

int32_t apply_settings(const ReadProfile& profile, std::vector<ReportLine>& report) {
    int32_t applied = 0;
    auto note = [&](int32_t line, Outcome outcome, const char* name) {
        report.push_back({line, outcome, name});
        if (outcome == Outcome::applied) ++applied;
    };
    // The format first: a device may set its controls anew for a new format.
    if (profile.format) note(profile.format_line, apply_format(*profile.format), kFormatName);
    Controls controls(active_slot().device_filter.get());
    for (const auto& [line, setting] : profile.controls)
        note(line, apply_control(controls, setting), setting.control->name);
    return applied;
}

}  // namespace vlx::profiles
