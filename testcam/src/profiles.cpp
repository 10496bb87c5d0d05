#include "profiles.h"

#include "comkit/registration.h"
#include "vidlox_testcam.h"

#include <cwchar>

namespace vlxcam {

namespace {

// {7A1E5C40-3B2D-4F1A-9C6E-5D0B8A2F71Cx}
constexpr CLSID device_clsid(unsigned char last) {
    return {0x7a1e5c40, 0x3b2d, 0x4f1a, {0x9c, 0x6e, 0x5d, 0x0b, 0x8a, 0x2f, 0x71, last}};
}

constexpr DeviceProfile kProfiles[] = {
    {VLXCAM_NAME_MAIN, device_clsid(0xc0), Quirk::none, FormatSet::rgb24, nullptr, Stills::pin},
    {VLXCAM_NAME_NO_PINS, device_clsid(0xc1), Quirk::no_pins},
    {VLXCAM_NAME_CAPS_BLOCK, device_clsid(0xc2), Quirk::caps_block_64},
    {VLXCAM_NAME_REFUSES, device_clsid(0xc3), Quirk::refuses_formats},
    {VLXCAM_NAME_PREVIEW_PIN, device_clsid(0xc4), Quirk::preview_pin},
    {VLXCAM_NAME_SLOW_START, device_clsid(0xc5), Quirk::slow_start},
    {VLXCAM_NAME_NON_ASCII, device_clsid(0xc6), Quirk::none},
    {VLXCAM_NAME_KEEPS_SIZES, device_clsid(0xc7), Quirk::keeps_given_sizes},
    {VLXCAM_NAME_UNSTATED_RATE, device_clsid(0xc8), Quirk::unstated_rate},
    {VLXCAM_NAME_COARSE_CONTROLS, device_clsid(0xc9), Quirk::coarse_controls},
    // Webcam pixel formats.
    {VLXCAM_NAME_YUY2, device_clsid(0xd0), Quirk::none, FormatSet::yuy2},
    {VLXCAM_NAME_NV12, device_clsid(0xd1), Quirk::none, FormatSet::nv12},
    {VLXCAM_NAME_MJPG, device_clsid(0xd2), Quirk::none, FormatSet::mjpg},
    {VLXCAM_NAME_WEBCAM, device_clsid(0xd3), Quirk::none, FormatSet::webcam},
    {VLXCAM_NAME_UNDECODABLE, device_clsid(0xd4), Quirk::none, FormatSet::undecodable},
    // Device identity and health.
    {VLXCAM_NAME_TWIN, device_clsid(0xe0), Quirk::none, FormatSet::rgb24, VLXCAM_PATH_TWIN_1},
    {VLXCAM_NAME_TWIN, device_clsid(0xe1), Quirk::none, FormatSet::rgb24, VLXCAM_PATH_TWIN_2},
    {VLXCAM_NAME_IN_USE, device_clsid(0xe2), Quirk::in_use},
    // Stills.
    {VLXCAM_NAME_STILL_FAILS, device_clsid(0xf0), Quirk::none, FormatSet::rgb24, nullptr, Stills::pin_trigger_fails},
};

}  // namespace

const CLSID kFormatPageClsid = device_clsid(0xcf);

std::span<const DeviceProfile> device_profiles() { return kProfiles; }

const DeviceProfile* find_profile(const CLSID& clsid) {
    for (const DeviceProfile& profile : kProfiles) {
        if (IsEqualCLSID(profile.clsid, clsid)) return &profile;
    }
    return nullptr;
}

const DeviceProfile* find_profile_by_path(const wchar_t* device_path) {
    if (!device_path) return nullptr;
    for (const DeviceProfile& profile : kProfiles) {
        if (profile.device_path && std::wcscmp(profile.device_path, device_path) == 0) return &profile;
    }
    return nullptr;
}

const DeviceProfile* find_profile_by_listed_path(const wchar_t* path) {
    if (const DeviceProfile* by_device_path = find_profile_by_path(path)) return by_device_path;
    if (!path) return nullptr;
    // "@device:sw:{category}\{clsid}": the instance the category entry was
    // written under is the class's own GUID (source_registration.h).
    const wchar_t* instance = std::wcsrchr(path, L'\\');
    if (!instance || std::wcsncmp(path, L"@device:", 8) != 0) return nullptr;
    for (const DeviceProfile& profile : kProfiles) {
        if (!profile.device_path && _wcsicmp(instance + 1, vlxcom::guid_text(profile.clsid).c_str()) == 0) return &profile;
    }
    return nullptr;
}

}  // namespace vlxcam
