// The path of the device a slot was opened on, as device identity read it
// from the device's moniker when vlx_Open bound it.
#pragma once

#include <cstdint>
#include <string>

namespace vlx::profiles {

// UTF-8; empty when none was read.
std::string device_path_of(int32_t slot);

}  // namespace vlx::profiles
