#include "codec_settings.h"

#include "com_base.h"
#include "vidlox_tp_mjpeg.h"

#include <algorithm>
#include <atomic>

namespace vlxtp {

namespace {

std::atomic<int> g_quality{VLXTP_MJPEG_DEFAULT_QUALITY};
std::atomic<int> g_streaming{0};

INT_PTR CALLBACK config_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemInt(dialog, VLXTP_MJPEG_IDC_QUALITY, static_cast<UINT>(codec_quality()), FALSE);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            BOOL is_number = FALSE;
            const UINT typed = GetDlgItemInt(dialog, VLXTP_MJPEG_IDC_QUALITY, &is_number, FALSE);
            if (is_number) set_codec_quality(static_cast<int>(std::min<UINT>(typed, 100)));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int codec_quality() { return g_quality.load(); }

void set_codec_quality(int quality) { g_quality = std::clamp(quality, 1, 100); }

void codec_streaming(bool started) { g_streaming += started ? 1 : -1; }

bool codec_is_streaming() { return g_streaming.load() > 0; }

HRESULT show_config_dialog(HWND owner) {
    const INT_PTR result = DialogBoxParamW(this_module(),
                                           MAKEINTRESOURCEW(VLXTP_MJPEG_IDD_CONFIG), owner, config_procedure, 0);
    return result == -1 || result == 0 ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
}

HRESULT show_about_box(HWND owner) {
    const int result = MessageBoxW(owner,
                                   VLXTP_MJPEG_NAME L"\n\nRGB24 in, Motion JPEG out, for testing capture hosts "
                                                    L"under Wine. Part of vidlox's test platform; never shipped.",
                                   VLXTP_MJPEG_ABOUT_CAPTION, MB_OK | MB_ICONINFORMATION);
    return result == 0 ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
}

}  // namespace vlxtp
