// The compressor's codec-wide setting (the quality) and its two dialogs.
// Like a Video for Windows driver's configuration it belongs to the codec,
// not to one filter instance: the host may show the dialog through one
// instance and stream through another.
#pragma once

#include <windows.h>

namespace vlxtp {

int codec_quality();
void set_codec_quality(int quality);  // clamped to 1..100

// Instances streaming now; the dialogs refuse to open meanwhile.
void codec_streaming(bool started);
bool codec_is_streaming();

// The modal Config dialog and the About box, owned by `owner`.
HRESULT show_config_dialog(HWND owner);
HRESULT show_about_box(HWND owner);

}  // namespace vlxtp
