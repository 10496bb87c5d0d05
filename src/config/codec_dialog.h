// The video compressor's own dialogs, for a slot that writes an AVI file
// through a compressor that offers them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

// vlx_CodecDialog: -1 when the slot holds no compressor dialogs, otherwise
// the HRESULT of IAMVfwCompressDialogs::ShowDialog(dialog, owner_window).
int32_t show_codec_dialog(HWND owner_window, int32_t dialog);

}  // namespace vlx
