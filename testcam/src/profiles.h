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

// A still pin beside the capture pin (still_pin.h), and how its trigger answers.
enum class Stills {
    none,
    pin,                 // a still pin with a software trigger and a button
    pin_trigger_fails,   // the same, whose software trigger always fails
};

struct DeviceProfile {
    const wchar_t* name;
    CLSID clsid;
    Quirk quirk;
    FormatSet formats = FormatSet::rgb24;
    const wchar_t* device_path = nullptr;  // its "DevicePath" property; most have none
    Stills stills = Stills::none;
};

// The main device first.
std::span<const DeviceProfile> device_profiles();
const DeviceProfile* find_profile(const CLSID& clsid);
const DeviceProfile* find_profile_by_path(const wchar_t* device_path);
// By the path a device list gives: its DevicePath, or for a device without
// one the display name of its moniker, which ends in its class.
const DeviceProfile* find_profile_by_listed_path(const wchar_t* path);

// The property page that shows a pin's current format.
extern const CLSID kFormatPageClsid;

}  // namespace vlxcam
