// Process-wide state of the capture side: the slot table and the
// library-wide values. All of it is zero at load and lives until unload.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "library/slot_vocabulary.h"

#include <array>
#include <cstdint>

namespace vlx {

// One capture graph. Fields keep their declaration order; release_slot()
// releases the interface fields in its own fixed order.
struct Slot {
    int32_t requested_width = 0;
    int32_t requested_height = 0;
    double requested_frame_rate = 0.0;
    // vlx_SetDevSubtype (GUID_NULL: any) and vlx_SetDevFormatChoice; kept
    // across vlx_Close like the three above.
    GUID requested_subtype{};
    int32_t format_choice = 0;
    int32_t render_mode = 0;
    int32_t slot_state = kSlotClosed;
    ComPtr<IAMVfwCompressDialogs> compress_dialogs;
    ComPtr<IBaseFilter> avi_compressor;
    ComPtr<IBaseFilter> avi_mux;
    ComPtr<IMediaControl> media_control;
    ComPtr<IVideoWindow> video_window;
    ComPtr<IBaseFilter> vmr9_filter;
    ComPtr<IBaseFilter> vmr7_filter;
    ComPtr<IBaseFilter> renderer_filter;
    ComPtr<IBaseFilter> grabber_filter;
    ComPtr<IBaseFilter> device_filter;
    // The audio capture device the host chose for the slot (sound/), in the
    // same graph; null without one.
    ComPtr<IBaseFilter> audio_device;
    ComPtr<ISampleGrabber> sample_grabber;
    ComPtr<ICaptureGraphBuilder2> capture_builder;
    ComPtr<IGraphBuilder> graph_builder;

    bool is_open() const { return slot_state > 1; }
    bool is_running() const { return slot_state > 2; }
};

struct LibraryState {
    std::array<Slot, kSlotCount> slots{};
    int32_t initialised = 0;
    // vlx_Init's CoInitialize succeeded (S_OK or S_FALSE): vlx_Exit owes
    // COM exactly one CoUninitialize. After a failed CoInitialize it owes
    // none; an unbalanced call would end the host's own apartment.
    bool owes_uninitialize = false;
    int32_t active_slot = 0;
    int32_t buffer_samples_flag = 0;
    int32_t last_error = 0;
    int32_t log_level = 0;
    HWND error_window = nullptr;
    int32_t log_buffer_size = 0;
    char* log_buffer = nullptr;
};

LibraryState& library();

inline Slot& active_slot() {
    LibraryState& lib = library();
    return lib.slots[static_cast<size_t>(lib.active_slot)];
}

inline bool library_initialised() { return library().initialised != 0; }

}  // namespace vlx
