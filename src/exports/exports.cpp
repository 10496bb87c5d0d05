// The exported functions: plain C entry points with undecorated names (see
// vidlox64.def), each forwarding to the subsystem that implements it.
#include "vidlox.h"

#include "config/capability_info.h"
#include "config/capability_lists.h"
#include "config/codec_dialog.h"
#include "config/deinterlace.h"
#include "config/mixer_bitmap.h"
#include "config/property_frames.h"
#include "config/requested_format.h"
#include "encoder/registry.h"
#include "enum/device_lists.h"
#include "exports/feature_observers.h"
#include "exports/guarded.h"
#include "library/lifecycle.h"
#include "library/log_settings.h"
#include "frames/frame_access.h"
#include "frames/bmp_snapshot.h"
#include "frames/image_file.h"
#include "graph/capture_format.h"
#include "graph/filter_list.h"
#include "library/buffer_size.h"
#include "graph/open_graph.h"
#include "graph/running.h"

using vlx::guarded;

extern "C" {

int32_t vlx_Init(void) {
    return guarded(-1, [] {
        vlx::subscribe_features();
        return vlx::init_library();
    });
}
int32_t vlx_Exit(void) { return guarded(-1, vlx::exit_library); }
int32_t vlx_SetActiveSel(int32_t slot) { return vlx::select_slot(slot); }
int32_t vlx_GetActiveSel(void) { return vlx::selected_slot(); }
int32_t vlx_GetRef(void) { return vlx::selected_slot_state(); }
int32_t vlx_Version(void) { return vlx::kVersion; }

int32_t vlx_SetLogLevel(int32_t level) { return vlx::set_log_level(level); }
int32_t vlx_SetLogBuffer(char* log_text, int32_t log_size) { return vlx::set_log_buffer(log_text, log_size); }
int32_t vlx_SetErrorCallbackHwnd(HWND hwnd, int32_t) { return vlx::set_error_window(hwnd); }
int32_t vlx_GetLastError(void) { return vlx::last_error(); }

int32_t vlx_GetBufferSize(int32_t query) { return guarded(-1, [&] { return vlx::buffer_size(query); }); }

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

int32_t vlx_Open(int32_t device_index, int32_t render_mode, int32_t reserved, intptr_t mode_param1,
                 intptr_t mode_param2) {
    return guarded(-30, [&] { return vlx::open_device(device_index, render_mode, reserved, mode_param1, mode_param2); });
}
int32_t vlx_SetDevCapConfig(void) { return guarded(-4, vlx::set_capture_format); }
int32_t vlx_Play(int32_t window, int32_t x, int32_t y, int32_t width, int32_t height) {
    return guarded(-3, [&] { return vlx::play(window, x, y, width, height); });
}
int32_t vlx_Play2(void) { return guarded(-4, vlx::play_without_window); }
int32_t vlx_ReSize(int32_t window, int32_t x, int32_t y, int32_t width, int32_t height) {
    return guarded(-2, [&] { return vlx::place_preview(window, x, y, width, height); });
}
int32_t vlx_Stop(void) { return guarded(-2, vlx::stop); }
int32_t vlx_SetCapConfig(int32_t buffering) { return guarded(-2, [&] { return vlx::set_buffering(buffering); }); }
int32_t vlx_Close(void) { return guarded(-1, vlx::close_slot); }
int32_t vlx_GetState(void) { return guarded(-3, vlx::graph_state); }

// vlx_GetStreamFilterList is this same function under a second name (vidlox64.def).
int32_t vlx_StreamFilterList(char* buffer) { return guarded(-2, [&] { return vlx::list_filters(buffer); }); }
int32_t vlx_GetStreamFilterListSize(void) { return guarded(-2, vlx::filter_list_size); }

int32_t vlx_GetImage(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height) {
    return guarded(-8, [&] { return vlx::draw_frame(hdc, x, y, width, height); });
}
int32_t vlx_GetImageMemSize(int32_t mode) { return guarded(-2, [&] { return vlx::frame_memory_size(mode); }); }
int32_t vlx_GetImageMem(void* pixels, int32_t* size, void* header) {
    return guarded(-8, [&] { return vlx::copy_frame(pixels, size, header); });
}
int32_t vlx_SaveBMP(const char* file_name) { return guarded(-8, [&] { return vlx::save_bmp(file_name); }); }
int32_t vlx_SaveImage(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height) {
    return guarded(-10, [&] { return vlx::save_image(file_name, format, quality, width, height); });
}

int32_t vlx_SetDevWidth(int32_t width) { return vlx::request_width(width); }
int32_t vlx_SetDevHeight(int32_t height) { return vlx::request_height(height); }
int32_t vlx_SetDevFrameRate(double frame_rate) { return vlx::request_frame_rate(frame_rate); }

int32_t vlx_GetDevCapConfig(char* rates, char* widths, char* heights) {
    return guarded(-4, [&] { return vlx::list_capabilities(rates, widths, heights); });
}
int32_t vlx_GetDevCapConfigSize(int32_t list) {
    return guarded(-4, [&] { return vlx::capability_list_size(list); });
}
int32_t vlx_GetCapInfo(int32_t item) { return guarded(-4, [&] { return vlx::capability_info(item); }); }
int32_t vlx_FilterProp(HWND owner_window, const wchar_t* filter_name) {
    return guarded(-2, [&] { return vlx::show_filter_properties(owner_window, filter_name); });
}
int32_t vlx_DevPinProp(HWND owner_window) {
    return guarded(-5, [&] { return vlx::show_device_pin_properties(owner_window); });
}
int32_t vlx_CodecDialog(HWND owner_window, int32_t dialog) {
    return guarded(-1, [&] { return vlx::show_codec_dialog(owner_window, dialog); });
}
int32_t vlx_VMRMixImage(HDC source_dc, int32_t source_left, int32_t source_top, int32_t source_right,
                        int32_t source_bottom, float alpha, float dest_left, float dest_top, float dest_right,
                        float dest_bottom, int32_t use_color_key, int32_t key_red, int32_t key_green,
                        int32_t key_blue) {
    return guarded(-6, [&] {
        return vlx::mix_image({source_dc, source_left, source_top, source_right, source_bottom, alpha, dest_left,
                               dest_top, dest_right, dest_bottom, use_color_key, key_red, key_green, key_blue});
    });
}
int32_t vlx_SetVMRDeinterlace(uint32_t deinterlace_prefs, const GUID* mode_guid) {
    return guarded(E_OUTOFMEMORY, [&] { return vlx::set_deinterlace(deinterlace_prefs, mode_guid); });
}

int32_t vlx_InitEncoder(void) { return vlx::start_media_foundation(); }
int32_t vlx_UnInitEncoder(void) { return vlx::stop_media_foundation(); }
int32_t vlx_CreateEncoder(void) { return guarded(-1, vlx::create_encoder); }
int32_t vlx_OpenEncoder(int32_t encoder_id, const wchar_t* file_name, int32_t codec, int32_t width, int32_t height,
                        int32_t bits_per_pixel, double frame_rate, int32_t bit_rate) {
    return guarded(-4, [&] {
        return vlx::open_encoder_id(encoder_id, file_name, codec, width, height, bits_per_pixel, frame_rate, bit_rate);
    });
}
int32_t vlx_WriteEncoder(int32_t encoder_id, const void* pixels, int32_t flip_vertical) {
    return guarded(-3, [&] { return vlx::write_encoder_id(encoder_id, pixels, flip_vertical); });
}
int32_t vlx_CloseEncoder(int32_t encoder_id) { return guarded(0, [&] { return vlx::close_encoder_id(encoder_id); }); }
int32_t vlx_DeleteEncoder(int32_t encoder_id) {
    return guarded(0, [&] { return vlx::delete_encoder_id(encoder_id); });
}

}  // extern "C"
