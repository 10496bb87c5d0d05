#include "config/codec_dialog.h"

#include "library/library_state.h"
#include "library/platform_call.h"

namespace vlx {

// Neither `initialised` nor the slot state matters: the dialogs interface is
// there exactly while the slot holds a compressor that offers it.
int32_t show_codec_dialog(HWND owner_window, int32_t dialog) {
    Slot& slot = active_slot();
    if (!slot.compress_dialogs) return -1;
    return reported_call("vlx_CodecDialog->VFW->ShowDialog",
                         [&] { return slot.compress_dialogs->ShowDialog(dialog, owner_window); });
}

}  // namespace vlx
