// Applying a profile file to a slot's device: vlx_ApplyProfile, and the
// automatic profile's application after an open.
#pragma once

#include <cstdint>
#include <string>

namespace vlx::profiles {

// vlx_ApplyProfile.
int32_t apply_profile(const char* file, int32_t flags);

// Reads `file`, checks its device against the slot's unless `flags` has
// VLX_PROFILE_ANY_DEVICE, applies it to the device of `slot` (the active
// slot, open with a device) and replaces the slot's report: the number of
// settings applied, or kApplyUnreadable, kApplyTooLarge, kApplyOtherDevice.
int32_t apply_profile_file(int32_t slot, const std::wstring& file, int32_t flags);

}  // namespace vlx::profiles
