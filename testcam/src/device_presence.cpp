#include "device_presence.h"

#include "camera_filter.h"
#include "device_registration.h"
#include "microphone.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace vlxcam {

namespace {

std::mutex g_live_lock;
std::vector<CameraFilter*> g_live;  // no references: a filter removes itself as it goes

// Calls `act` on every live filter of `profile`, with the list locked so
// that none of them can go meanwhile.
template <class Act>
void for_each_instance(const DeviceProfile& profile, Act&& act) {
    std::lock_guard guard(g_live_lock);
    for (CameraFilter* filter : g_live) {
        if (&filter->profile() == &profile) act(*filter);
    }
}

}  // namespace

bool DeliveryGate::open() const noexcept {
    return !closed_ && GetTickCount64() >= held_until_ms_.load();
}

void DeliveryGate::hold_for(uint32_t milliseconds) noexcept { held_until_ms_ = GetTickCount64() + milliseconds; }

void add_live_filter(CameraFilter* filter) {
    std::lock_guard guard(g_live_lock);
    g_live.push_back(filter);
}

void remove_live_filter(CameraFilter* filter) {
    std::lock_guard guard(g_live_lock);
    g_live.erase(std::remove(g_live.begin(), g_live.end(), filter), g_live.end());
}

}  // namespace vlxcam

extern "C" {

int32_t __cdecl vlxcam_Unplug(const wchar_t* device_path) {
    if (const int32_t microphone = vlxcam::unplug_microphone(device_path); microphone != -1) return microphone;
    const vlxcam::DeviceProfile* profile = vlxcam::find_profile_by_path(device_path);
    if (!profile) return -1;
    vlxcam::for_each_instance(*profile, [](vlxcam::CameraFilter& filter) { filter.device_gone(); });
    return SUCCEEDED(vlxcam::remove_category_entry(*profile)) ? 0 : -2;
}

int32_t __cdecl vlxcam_Replug(const wchar_t* device_path) {
    if (const int32_t microphone = vlxcam::replug_microphone(device_path); microphone != -1) return microphone;
    const vlxcam::DeviceProfile* profile = vlxcam::find_profile_by_path(device_path);
    if (!profile) return -1;
    const HRESULT added = vlxcam::add_category_entry(*profile);
    vlxcam::for_each_instance(*profile, [](vlxcam::CameraFilter& filter) { filter.device_back(); });
    return SUCCEEDED(added) ? 0 : -2;
}

int32_t __cdecl vlxcam_Stall(const wchar_t* device_path, int32_t milliseconds) {
    if (vlxcam::stall_microphone(device_path, static_cast<uint32_t>(std::max(milliseconds, 0))) == 0) return 0;
    const vlxcam::DeviceProfile* profile = vlxcam::find_profile_by_path(device_path);
    if (!profile) return -1;
    const auto hold = static_cast<uint32_t>(std::max(milliseconds, 0));
    vlxcam::for_each_instance(*profile, [&](vlxcam::CameraFilter& filter) { filter.gate().hold_for(hold); });
    return 0;
}

int32_t __cdecl vlxcam_FailStream(const wchar_t* device_path, HRESULT error) {
    if (vlxcam::fail_microphone(device_path, error) == 0) return 0;
    const vlxcam::DeviceProfile* profile = vlxcam::find_profile_by_path(device_path);
    if (!profile) return -1;
    vlxcam::for_each_instance(*profile, [&](vlxcam::CameraFilter& filter) { filter.stream_failed(error); });
    return 0;
}

}  // extern "C"
