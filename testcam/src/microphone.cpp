#include "microphone.h"

#include "com_ptr.h"
#include "comkit/registration.h"
#include "comkit/source_registration.h"
#include "microphone_filter.h"
#include "profiles.h"
#include "vidlox_testcam.h"

#include <objbase.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <mutex>
#include <vector>

namespace vlxcam {

namespace {

// {7A1E5C40-3B2D-4F1A-9C6E-5D0B8A2F71Ex}, beside the cameras' classes.
constexpr CLSID microphone_clsid(unsigned char last) {
    return {0x7a1e5c40, 0x3b2d, 0x4f1a, {0x9c, 0x6e, 0x5d, 0x0b, 0x8a, 0x2f, 0x71, last}};
}

constexpr MicrophoneProfile kMicrophones[] = {
    {VLXCAM_NAME_MICROPHONE, microphone_clsid(0xe3), MicrophoneQuirk::none, VLXCAM_PATH_MICROPHONE},
    {VLXCAM_NAME_MICROPHONE_IN_USE, microphone_clsid(0xe4), MicrophoneQuirk::in_use, nullptr},
    {VLXCAM_NAME_MICROPHONE_REFUSES, microphone_clsid(0xe5), MicrophoneQuirk::refuses_formats, nullptr},
};

std::array<std::atomic<int32_t>, std::size(kMicrophones)> g_clock_errors{};

std::mutex g_live_lock;
std::vector<MicrophoneFilter*> g_live;  // no references: a filter removes itself as it goes

template <class Act>
int32_t for_each_instance(const wchar_t* device_path, Act&& act) {
    const MicrophoneProfile* profile = find_microphone_by_path(device_path);
    if (!profile) return -1;
    std::lock_guard guard(g_live_lock);
    for (MicrophoneFilter* filter : g_live) {
        if (&filter->profile() == profile) act(*filter);
    }
    return 0;
}

HRESULT add_entry(IFilterMapper2* mapper, const MicrophoneProfile& profile) {
    return vlxcom::register_source(mapper, {profile.clsid, profile.name, CLSID_AudioInputDeviceCategory, MEDIATYPE_Audio,
                                            MEDIASUBTYPE_PCM, true, profile.device_path});
}

HRESULT remove_entry(IFilterMapper2* mapper, const MicrophoneProfile& profile) {
    return mapper->UnregisterFilter(&CLSID_AudioInputDeviceCategory, vlxcom::guid_text(profile.clsid).c_str(),
                                    profile.clsid);
}

HRESULT with_mapper(HRESULT (*act)(IFilterMapper2*, const MicrophoneProfile&), const MicrophoneProfile& profile) {
    vlxcom::ComScope com;
    ComPtr<IFilterMapper2> mapper;
    const HRESULT created = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                             mapper.put_void());
    return FAILED(created) ? created : act(mapper.get(), profile);
}

}  // namespace

std::span<const MicrophoneProfile> microphone_profiles() { return kMicrophones; }

const MicrophoneProfile* find_microphone(const CLSID& clsid) {
    for (const MicrophoneProfile& profile : kMicrophones) {
        if (IsEqualCLSID(profile.clsid, clsid)) return &profile;
    }
    return nullptr;
}

const MicrophoneProfile* find_microphone_by_path(const wchar_t* device_path) {
    if (!device_path) return nullptr;
    for (const MicrophoneProfile& profile : kMicrophones) {
        if (profile.device_path && _wcsicmp(profile.device_path, device_path) == 0) return &profile;
    }
    return nullptr;
}

std::atomic<int32_t>& clock_error_of(const MicrophoneProfile& profile) {
    return g_clock_errors[static_cast<size_t>(&profile - kMicrophones)];
}

HRESULT create_microphone(const MicrophoneProfile& profile, REFIID iid, void** object) {
    return vlxcom::create_object<MicrophoneFilter>(iid, object, profile);
}

HRESULT register_microphones(IFilterMapper2* mapper) {
    for (const MicrophoneProfile& profile : kMicrophones) {
        if (const HRESULT hr = add_entry(mapper, profile); FAILED(hr)) return hr;
    }
    return S_OK;
}

void unregister_microphones(IFilterMapper2* mapper) {
    for (const MicrophoneProfile& profile : kMicrophones)
        vlxcom::unregister_source(mapper, profile.clsid, CLSID_AudioInputDeviceCategory);
}

void add_live_microphone(MicrophoneFilter* filter) {
    std::lock_guard guard(g_live_lock);
    g_live.push_back(filter);
}

void remove_live_microphone(MicrophoneFilter* filter) {
    std::lock_guard guard(g_live_lock);
    std::erase(g_live, filter);
}

int32_t unplug_microphone(const wchar_t* device_path) {
    if (for_each_instance(device_path, [](MicrophoneFilter& f) { f.device_gone(); }) < 0) return -1;
    return SUCCEEDED(with_mapper(remove_entry, *find_microphone_by_path(device_path))) ? 0 : -2;
}

int32_t replug_microphone(const wchar_t* device_path) {
    const MicrophoneProfile* profile = find_microphone_by_path(device_path);
    if (!profile) return -1;
    const HRESULT added = with_mapper(add_entry, *profile);
    for_each_instance(device_path, [](MicrophoneFilter& f) { f.device_back(); });
    return SUCCEEDED(added) ? 0 : -2;
}

int32_t stall_microphone(const wchar_t* device_path, uint32_t milliseconds) {
    return for_each_instance(device_path, [&](MicrophoneFilter& f) { f.gate().hold_for(milliseconds); });
}

int32_t fail_microphone(const wchar_t* device_path, HRESULT error) {
    return for_each_instance(device_path, [&](MicrophoneFilter& f) { f.stream_failed(error); });
}

}  // namespace vlxcam

extern "C" int32_t __cdecl vlxcam_SetClockError(const wchar_t* device_path, int32_t parts_per_million) {
    const vlxcam::MicrophoneProfile* profile = vlxcam::find_microphone_by_path(device_path);
    if (!profile) return -1;
    if (parts_per_million <= -1000000 || parts_per_million >= 1000000) return -2;
    vlxcam::clock_error_of(*profile) = parts_per_million;
    return 0;
}
