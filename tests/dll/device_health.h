// The device identity and health exports as a host reaches them, and the
// test camera's exports that unplug, replug, stall and fail its devices.
#pragma once

#include "dll/host_library.h"
#include "vidlox_testcam.h"

#include <string>

namespace vlx_test {

struct DeviceHealth {
    decltype(&vlx_GetDevicePathList) GetDevicePathList;
    decltype(&vlx_GetDevicePathListSize) GetDevicePathListSize;
    decltype(&vlx_FindDevice) FindDevice;
    decltype(&vlx_GetDeviceState) GetDeviceState;
    decltype(&vlx_SetDeviceNotify) SetDeviceNotify;
    decltype(&vlx_Reopen) Reopen;
    decltype(&vlxcam_Unplug) Unplug;
    decltype(&vlxcam_Replug) Replug;
    decltype(&vlxcam_Stall) Stall;
    decltype(&vlxcam_FailStream) FailStream;
    decltype(&vlxcam_SetClockError) SetClockError;
};

// Loaded once; fails the run when an export is missing.
const DeviceHealth& device_health();

// vlx_GetDevicePathList of `kind` into a buffer of the size its query gave.
std::string device_path_list(int32_t kind);

// Polls vlx_GetDeviceState until it answers `state`; the last answer.
int32_t wait_for_device_state(int32_t state, DWORD timeout_ms);

}  // namespace vlx_test
