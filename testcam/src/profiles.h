// The devices this DLL can register: one main camera and edge cases, each a
// class of its own that differs from the main camera in one quirk or in the
// pixel formats it sends.
#pragma once

#include "format_sets.h"

#include <windows.h>

#include <span>

namespace vlxcam {

enum class Quirk {
    none,
    no_pins,          // a filter without any pin
    caps_block_64,    // GetNumberOfCapabilities reports a 64-byte block
    refuses_formats,  // every SetFormat fails
    preview_pin,      // a "Capture" and a "Preview" pin
    slow_start,       // the first frame comes two seconds after Run
    keeps_given_sizes,  // connects with the biSizeImage and lSampleSize SetFormat was given
    unstated_rate,      // GetStreamCaps states capability 0 with AvgTimePerFrame 0
    coarse_controls,    // holds a control value set by hand on a coarser step than it states
    in_use,             // starting it fails as a camera another program holds
};

struct DeviceProfile {
    const wchar_t* name;
    CLSID clsid;
    Quirk quirk;
    FormatSet formats = FormatSet::rgb24;
    const wchar_t* device_path = nullptr;  // its "DevicePath" property; most have none
};

// The main device first.
std::span<const DeviceProfile> device_profiles();
const DeviceProfile* find_profile(const CLSID& clsid);
const DeviceProfile* find_profile_by_path(const wchar_t* device_path);

// The property page that shows a pin's current format.
extern const CLSID kFormatPageClsid;

}  // namespace vlxcam
