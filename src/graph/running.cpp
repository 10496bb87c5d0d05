#include "graph/running.h"

#include "vidlox.h"

#include "library/library_state.h"
#include "library/platform_call.h"
#include "frames/held_frames.h"
#include "graph/release_slot.h"
#include "graph/slot_observer.h"

namespace vlx {

namespace {

constexpr long kPreviewStyle = WS_CHILD | WS_CLIPSIBLINGS;  // 0x44000000
// Without an owner the preview is a window of its own on the screen (a
// child style there would make a child of the desktop).
constexpr long kOwnerlessPreviewStyle = WS_POPUP | WS_CLIPSIBLINGS;

// The owner arrives as a 32-bit integer and is sign-extended to OAHWND.
OAHWND owner_handle(int32_t window) { return static_cast<OAHWND>(static_cast<intptr_t>(window)); }

// None of these results is tested or reported: the calls are made even for
// graphs without a windowed renderer, where they fail harmlessly.
void place_window(IVideoWindow* window, int32_t owner, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (owner != 0) {
        window->put_Owner(owner_handle(owner));
        window->put_WindowStyle(kPreviewStyle);
        window->SetWindowPosition(x, y, width, height);
        window->SetWindowForeground(OATRUE);
        window->put_Visible(OATRUE);
        return;
    }
    // Wine's put_Owner is SetParent, which hides the window, activates it
    // and shows it again even when the parent stays the desktop
    // (dlls/win32u/window.c, NtUserSetParent): only a preview that has an
    // owner is taken from it. The preview is then shown
    // where the host asked without taking the activation (and the keyboard)
    // from the host's own windows.
    OAHWND current = 0;
    if (window->get_Owner(&current) != S_OK || current != 0) window->put_Owner(0);
    window->put_WindowStyle(kOwnerlessPreviewStyle);
    window->SetWindowPosition(x, y, width, height);
    window->put_WindowState(SW_SHOWNA);
}

int32_t run_graph(Slot& slot, const char* context, bool with_window) {
    const HRESULT ran = reported_call(context, [&] { return slot.media_control->Run(); });
    slot.slot_state = kSlotRunning;  // whatever Run answered
    announce_ran(library().active_slot, ran, with_window);
    return ran == S_OK ? 0 : 1;
}

}  // namespace

int32_t play(int32_t owner_window, int32_t x, int32_t y, int32_t width, int32_t height) {
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (slot.is_running()) return -2;
    if (slot.video_window) {
        place_window(slot.video_window.get(), owner_window, x, y, width, height);
        announce_placed(library().active_slot, {owner_window, x, y, width, height});
        // A tracked slot's frames are held by the library; its grabber
        // keeps none (frames/held_frames.h).
        if (slot.sample_grabber && !held_frames(library().active_slot)) {
            reported_call("vlx_Play->SampleGrabber->SetBufferSamples",
                          [&] { return slot.sample_grabber->SetBufferSamples(TRUE); });
        }
    }
    if (!slot.media_control) return -3;
    return run_graph(slot, "vlx_Play->MediaControl->Run", true);
}

int32_t play_without_window() {
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (slot.is_running()) return -2;
    if (!slot.sample_grabber) return -3;
    if (!held_frames(library().active_slot)) {
        reported_call("vlx_Play2->SampleGrabber->SetBufferSamples",
                      [&] { return slot.sample_grabber->SetBufferSamples(TRUE); });
    }
    if (!slot.media_control) return -4;
    return run_graph(slot, "vlx_Play2->MediaControl->Run", false);
}

int32_t place_preview(int32_t owner_window, int32_t x, int32_t y, int32_t width, int32_t height) {
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.video_window) return -2;
    place_window(slot.video_window.get(), owner_window, x, y, width, height);
    announce_placed(library().active_slot, {owner_window, x, y, width, height});
    return 0;
}

int32_t stop() {
    Slot& slot = active_slot();
    if (!slot.is_running()) return -1;
    if (!slot.media_control) return -2;
    reported_call("vlx_Stop->MediaControl->Stop", [&] { return slot.media_control->Stop(); });
    slot.slot_state = kSlotOpen;
    announce_stopped(library().active_slot);
    return 0;
}

int32_t set_buffering(int32_t buffering) {
    Slot& slot = active_slot();
    if (!slot.is_running()) return -1;
    if (!slot.sample_grabber) return -2;
    LibraryState& lib = library();
    if (buffering == 1) {
        reported_call("vlx_SetCapConfig->SampleGrabber->SetBufferSamples(TRUE)",
                      [&] { return slot.sample_grabber->SetBufferSamples(TRUE); });
        lib.buffer_samples_flag = 1;
    } else if (buffering == 0) {
        reported_call("vlx_SetCapConfig->SampleGrabber->SetBufferSamples(FALSE)",
                      [&] { return slot.sample_grabber->SetBufferSamples(FALSE); });
        lib.buffer_samples_flag = 0;
    }
    return buffering == -1 ? lib.buffer_samples_flag : 0;
}

int32_t close_slot() {
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (slot.is_running() && slot.media_control) {
        reported_call("vlx_Close->MediaControl->Stop", [&] { return slot.media_control->Stop(); });
    }
    release_slot();
    slot.render_mode = 0;
    slot.slot_state = kSlotClosed;
    return 0;
}

int32_t graph_state() {
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.media_control) return -3;
    OAFilterState state = State_Stopped;
    // A graph whose device failed to start never settles: the wait is
    // bounded, and a graph still in transition then reports the state it is
    // moving to (VFW_S_STATE_INTERMEDIATE, a success code).
    const HRESULT status = reported_call("vlx_GetState->MediaControl->GetState", [&] {
        return slot.media_control->GetState(VLX_STATE_WAIT_MS, &state);
    });
    if (status == E_FAIL) return -2;
    // Any other failure may leave no state behind: it is a failure too.
    if (FAILED(status)) return -4;
    return static_cast<int32_t>(state);
}

}  // namespace vlx
