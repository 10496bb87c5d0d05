// Exported functions of the stills extension (vidlox64.def, "Extensions:
// stills").
#include "vidlox.h"

#include "exports/guarded.h"
#include "formats/format_codes.h"
#include "stills/still_codes.h"
#include "stills/stills.h"

using vlx::guarded;

extern "C" {

int32_t vlx_GetStillFormatList(char* buffer, int32_t device_index) {
    return guarded(vlx::kListOutOfMemory, [&] { return vlx::list_still_formats(buffer, device_index); });
}
int32_t vlx_GetStillFormatListSize(int32_t device_index) {
    return guarded(vlx::kListOutOfMemory, [&] { return vlx::still_format_list_size(device_index); });
}
int32_t vlx_SetStillSize(int32_t width, int32_t height) {
    return guarded(vlx::kStillOutOfMemory, [&] { return vlx::set_still_size(width, height); });
}
int32_t vlx_TriggerStill(void) { return guarded(vlx::kTriggerOutOfMemory, vlx::trigger_still); }
int32_t vlx_WaitStill(int32_t timeout_ms) {
    return guarded(vlx::kStillTakeOutOfMemory, [&] { return vlx::wait_still(timeout_ms); });
}
int32_t vlx_GetStill(void* pixels, int32_t* size, void* header, int64_t* info) {
    return guarded(vlx::kStillTakeOutOfMemory, [&] { return vlx::take_still(pixels, size, header, info); });
}
int32_t vlx_SaveStill(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height) {
    return guarded(vlx::kStillTakeOutOfMemory, [&] { return vlx::save_still(file_name, format, quality, width, height); });
}
int32_t vlx_SetStillNotify(HWND window, uint32_t message) {
    return guarded(vlx::kStillTakeOutOfMemory, [&] { return vlx::set_still_notify(window, message); });
}

}  // extern "C"
