#include "graph/release_slot.h"

#include "library/library_state.h"

namespace vlx {

void release_slot() {
    Slot& slot = active_slot();
    slot.video_window.reset();
    slot.compress_dialogs.reset();
    slot.avi_compressor.reset();
    slot.avi_mux.reset();
    slot.renderer_filter.reset();
    slot.vmr7_filter.reset();
    slot.vmr9_filter.reset();
    slot.device_filter.reset();
    slot.media_control.reset();
    slot.capture_builder.reset();
    slot.sample_grabber.reset();
    slot.grabber_filter.reset();
    slot.graph_builder.reset();
}

}  // namespace vlx
