// vlx_GetDeviceState and vlx_SetDeviceNotify.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx::health {

int32_t current_device_state();
int32_t set_device_notify(HWND window, uint32_t message);

}  // namespace vlx::health
