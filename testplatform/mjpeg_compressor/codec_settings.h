// The compressor's setting (the quality) and its two dialogs. As with the
// platform's AVI Compressor, whose dialog configures the codec instance it
// opened, the setting belongs to one filter instance: a dialog shown
// through another instance does not reach the filter that streams.
#pragma once

#include <windows.h>

#include <atomic>

namespace vlxtp {

int clamped_quality(int quality);  // 1..100

// The modal Config dialog, which edits `quality`, and the About box, both
// owned by `owner`.
HRESULT show_config_dialog(HWND owner, std::atomic<int>& quality);
HRESULT show_about_box(HWND owner);

}  // namespace vlxtp
