#include "graph/release_slot.h"

#include "graph/grabber_callback.h"
#include "graph/slot_observer.h"
#include "library/library_state.h"

namespace vlx {

namespace {

// IVideoWindow's rule for ending a graph: hide the renderer's window and take
// it from its owner first, or it stays a visible child of the host's window
// while the graph goes and messages reach a window that is going away. A
// failed open has no video_window yet but may have a renderer: the graph
// answers for it. Neither call is reported, so the log keeps its lines; a
// graph without a windowed renderer refuses them harmlessly.
void detach_preview(Slot& slot) {
    ComPtr<IVideoWindow> window = slot.video_window;
    if (!window && slot.graph_builder) slot.graph_builder.query(window);
    if (!window) return;
    window->put_Visible(OAFALSE);
    window->put_Owner(0);
}

}  // namespace

void release_slot() {
    Slot& slot = active_slot();
    // The features that watch the slot let go of the graph first; then its
    // callback, with every listener the features gave it, is the grabber's
    // alone until the grabber goes with the graph.
    announce_releasing(library().active_slot);
    forget_grabber_callback(library().active_slot);
    detach_preview(slot);
    slot.video_window.reset();
    slot.compress_dialogs.reset();
    slot.avi_compressor.reset();
    slot.avi_mux.reset();
    slot.renderer_filter.reset();
    slot.vmr7_filter.reset();
    slot.vmr9_filter.reset();
    slot.device_filter.reset();
    slot.audio_device.reset();
    slot.media_control.reset();
    slot.capture_builder.reset();
    slot.sample_grabber.reset();
    slot.grabber_filter.reset();
    slot.graph_builder.reset();
}

}  // namespace vlx
