// The exported functions of the capture formats extension (vidlox64.def,
// "Extensions: capture formats").
#include "vidlox.h"

#include "exports/guarded.h"
#include "formats/format_codes.h"
#include "formats/format_in_force.h"
#include "formats/format_list.h"
#include "formats/format_request.h"

using vlx::guarded;

extern "C" {

int32_t vlx_GetFormatList(char* buffer, int32_t device_index) {
    return guarded(vlx::kListOutOfMemory, [&] { return vlx::list_formats(buffer, device_index); });
}
int32_t vlx_GetFormatListSize(int32_t device_index) {
    return guarded(vlx::kListOutOfMemory, [&] { return vlx::format_list_size(device_index); });
}
int32_t vlx_SetDevSubtype(const char* subtype) { return guarded(vlx::kRequestOutOfMemory, [&] { return vlx::request_subtype(subtype); }); }
int32_t vlx_SetDevFormatChoice(int32_t choice) { return vlx::request_format_choice(choice); }
int32_t vlx_GetDevFormat(char* subtype, int32_t* width, int32_t* height, double* frame_rate) {
    return guarded(vlx::kInForceOutOfMemory, [&] { return vlx::read_format_in_force(subtype, width, height, frame_rate); });
}

}  // extern "C"
