#include "profiles/apply_profile.h"

#include "controls/control_codes.h"
#include "library/library_state.h"
#include "profiles/device_settings.h"
#include "profiles/profile_codes.h"
#include "profiles/profile_file.h"
#include "profiles/profile_report.h"
#include "profiles/slot_device.h"
#include "vidlox.h"

namespace vlx::profiles {

namespace {

constexpr const char* kWholeFile = "file";

bool of_this_device(const ReadProfile& profile, const std::string& device) {
    return profile.device && !device.empty() && *profile.device == device;
}

}  // namespace

int32_t apply_profile_file(int32_t slot, const std::wstring& file, int32_t flags) {
    std::vector<ReportLine> report;
    const int32_t result = [&] {
        std::string bytes;
        if (const int32_t refused = read_profile_file(file, bytes)) {
            report.push_back({0, refused == kApplyTooLarge ? Outcome::too_large : Outcome::unreadable, kWholeFile});
            return refused;
        }
        const ReadProfile profile = read_profile_text(bytes);
        report = profile.refused;
        if (!(flags & VLX_PROFILE_ANY_DEVICE) && !of_this_device(profile, device_path_of(slot))) {
            report.push_back({0, Outcome::other_device, kWholeFile});
            return static_cast<int32_t>(kApplyOtherDevice);
        }
        return apply_settings(profile, report);
    }();
    replace_report(slot, std::move(report));
    return result;
}

int32_t apply_profile(const char* file, int32_t flags) {
    int32_t refusal = 0;
    if (!control_device(refusal)) return refusal;  // -1 not initialised, -2 no device
    const auto name = file_name_of(file);
    if (!name) return kApplyBadFileName;
    if (flags & ~VLX_PROFILE_ANY_DEVICE) return kApplyUnknownFlags;
    return apply_profile_file(library().active_slot, *name, flags);
}

}  // namespace vlx::profiles
