// A profile against the active slot's device: what the device holds, for
// vlx_SaveProfile, and the settings of a profile put on it, for
// vlx_ApplyProfile and the automatic profile.
#pragma once

#include "profiles/profile_text.h"

#include <cstdint>
#include <vector>

namespace vlx::profiles {

// The format in force and every control the device has whose value can be
// read, under vlx_SaveProfile's context strings. The slot holds a device.
void read_device_settings(DeviceSettings& settings);

// Applies the format, then the controls in the order of their lines, each
// skipped when it cannot be applied; one report line for each. The number
// applied.
int32_t apply_settings(const ReadProfile& profile, std::vector<ReportLine>& report);

}  // namespace vlx::profiles
