// The exported functions: plain C entry points with undecorated names (see
// vidlox64.def), each forwarding to the subsystem that implements it.
#include "vidlox.h"

#include "enum/device_lists.h"
#include "exports/guarded.h"
#include "frame/lifecycle.h"
#include "frame/log_settings.h"

using vlx::guarded;

extern "C" {

int32_t vlx_Init(void) { return guarded(-1, vlx::init_library); }
int32_t vlx_Exit(void) { return guarded(-1, vlx::exit_library); }
int32_t vlx_SetActiveSel(int32_t slot) { return vlx::select_slot(slot); }
int32_t vlx_GetActiveSel(void) { return vlx::selected_slot(); }
int32_t vlx_GetRef(void) { return vlx::selected_slot_state(); }
int32_t vlx_Version(void) { return vlx::kVersion; }

int32_t vlx_SetLogLevel(int32_t level) { return vlx::set_log_level(level); }
int32_t vlx_SetLogBuffer(char* log_text, int32_t log_size) { return vlx::set_log_buffer(log_text, log_size); }
int32_t vlx_SetErrorCallbackHwnd(HWND hwnd, int32_t) { return vlx::set_error_window(hwnd); }
int32_t vlx_GetLastError(void) { return vlx::last_error(); }

int32_t vlx_GetDeviceList(char* buffer, int32_t kind) {
    return guarded(-1, [&] { return vlx::list_devices(buffer, kind); });
}
int32_t vlx_GetDeviceListSize(int32_t kind) {
    return guarded(-1, [&] { return vlx::device_list_size(kind); });
}
int32_t vlx_GetCodecList(char* buffer, int32_t kind) {
    return guarded(-1, [&] { return vlx::list_codecs(buffer, kind); });
}
int32_t vlx_GetCodecListSize(int32_t kind) {
    return guarded(-1, [&] { return vlx::codec_list_size(kind); });
}

}  // extern "C"
