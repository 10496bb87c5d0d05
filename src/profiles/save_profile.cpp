#include "profiles/save_profile.h"

#include "controls/control_codes.h"
#include "library/library_state.h"
#include "profiles/device_settings.h"
#include "profiles/profile_codes.h"
#include "profiles/profile_file.h"
#include "profiles/profile_text.h"
#include "profiles/slot_device.h"

namespace vlx::profiles {

namespace {

// A path that its own line gives back when the file is read again.
bool writable_path(const std::string& path) {
    if (path.empty()) return false;
    const ReadProfile again = read_profile_text(profile_text({.device = path}));
    return again.refused.empty() && again.device == path;
}

}  // namespace

int32_t save_profile(const char* file) {
    int32_t refusal = 0;
    if (!control_device(refusal)) return refusal;  // -1 not initialised, -2 no device
    const auto name = file_name_of(file);
    if (!name) return kSaveBadFileName;
    DeviceSettings settings{.device = device_path_of(library().active_slot)};
    if (!writable_path(settings.device)) return kSaveNoDevicePath;
    read_device_settings(settings);
    if (const int32_t failed = write_profile_file(*name, profile_text(settings))) return failed;
    return static_cast<int32_t>(settings.controls.size()) + (settings.format ? 1 : 0);
}

}  // namespace vlx::profiles
