// The test microphones: audio capture sources in
// CLSID_AudioInputDeviceCategory (microphone_filter.h), registered with the
// whole set of devices, and what the test exports do to them.
#pragma once

#include <dshow.h>

#include <atomic>
#include <cstdint>
#include <span>

namespace vlxcam {

class MicrophoneFilter;

enum class MicrophoneQuirk {
    none,
    in_use,           // starting it fails as a microphone another program holds
    refuses_formats,  // its pin connects with nothing and SetFormat fails
};

struct MicrophoneProfile {
    const wchar_t* name;
    CLSID clsid;
    MicrophoneQuirk quirk;
    const wchar_t* device_path;  // its "DevicePath", as a sound card's endpoint has one
};

std::span<const MicrophoneProfile> microphone_profiles();
const MicrophoneProfile* find_microphone(const CLSID& clsid);
const MicrophoneProfile* find_microphone_by_path(const wchar_t* device_path);
// The device's clock error in parts per million (vlxcam_SetClockError).
std::atomic<int32_t>& clock_error_of(const MicrophoneProfile& profile);

HRESULT create_microphone(const MicrophoneProfile& profile, REFIID iid, void** object);

// Their classes and entries in CLSID_AudioInputDeviceCategory.
HRESULT register_microphones(IFilterMapper2* mapper);
void unregister_microphones(IFilterMapper2* mapper);

// Every microphone filter is listed from construction to destruction.
void add_live_microphone(MicrophoneFilter* filter);
void remove_live_microphone(MicrophoneFilter* filter);

// The test exports' work on a microphone's live filters: -1 when no
// microphone has that path (the exports then try the cameras).
int32_t unplug_microphone(const wchar_t* device_path);
int32_t replug_microphone(const wchar_t* device_path);
int32_t stall_microphone(const wchar_t* device_path, uint32_t milliseconds);
int32_t fail_microphone(const wchar_t* device_path, HRESULT error);

}  // namespace vlxcam
