// Exports of device identity and health (include/vidlox.h, "Extensions:
// device identity and health").
#include "vidlox.h"

#include "devices/device_paths.h"
#include "devices/health_codes.h"
#include "devices/health_state.h"
#include "devices/reopen.h"
#include "exports/guarded.h"

using vlx::guarded;

extern "C" {

int32_t vlx_GetDevicePathList(char* buffer, int32_t kind) {
    return guarded(vlx::health::kPathsOutOfMemory, [&] { return vlx::health::list_device_paths(buffer, kind); });
}
int32_t vlx_GetDevicePathListSize(int32_t kind) {
    return guarded(vlx::health::kPathsOutOfMemory, [&] { return vlx::health::device_path_list_size(kind); });
}
int32_t vlx_FindDevice(const char* text, int32_t occurrence) {
    return guarded(vlx::health::kFindOutOfMemory, [&] { return vlx::health::find_device(text, occurrence); });
}
int32_t vlx_GetDeviceState(void) { return guarded(vlx::health::kStateOutOfMemory, vlx::health::current_device_state); }
int32_t vlx_SetDeviceNotify(HWND window, uint32_t message) {
    return guarded(vlx::health::kNotifyNoWatcher, [&] { return vlx::health::set_device_notify(window, message); });
}
int32_t vlx_Reopen(void) { return guarded(vlx::health::kReopenOutOfMemory, vlx::health::reopen); }

}  // extern "C"
