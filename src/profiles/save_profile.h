// vlx_SaveProfile: the active slot's device's settings to a profile file.
#pragma once

#include <cstdint>

namespace vlx::profiles {

int32_t save_profile(const char* file);

}  // namespace vlx::profiles
