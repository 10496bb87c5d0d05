// Devices by their paths: the path list beside the name list, finding a
// device by its path or name, and the index a path has now.
#pragma once

#include <cstdint>
#include <string>

namespace vlx::health {

// vlx_GetDevicePathList and vlx_GetDevicePathListSize.
int32_t list_device_paths(char* text, int32_t kind);
int32_t device_path_list_size(int32_t kind);

// vlx_FindDevice.
int32_t find_device(const char* text, int32_t occurrence);

// The position in the video device list of the device whose path is `path`,
// for vlx_Reopen: -111 when none has it now, -112 when the system device
// enumerator cannot be created.
int32_t index_of_path(const std::wstring& path);

}  // namespace vlx::health
