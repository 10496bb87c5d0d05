#include "codec_settings.h"

#include "comkit/com_base.h"
#include "vidlox_tp_mjpeg.h"

#include <algorithm>
#include <atomic>

namespace vlxtp {

namespace {

INT_PTR CALLBACK config_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* quality = reinterpret_cast<std::atomic<int>*>(lparam);
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        SetDlgItemInt(dialog, VLXTP_MJPEG_IDC_QUALITY, static_cast<UINT>(quality->load()), FALSE);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            auto* quality = reinterpret_cast<std::atomic<int>*>(GetWindowLongPtrW(dialog, DWLP_USER));
            BOOL is_number = FALSE;
            const UINT typed = GetDlgItemInt(dialog, VLXTP_MJPEG_IDC_QUALITY, &is_number, FALSE);
            if (is_number) *quality = clamped_quality(static_cast<int>(std::min<UINT>(typed, 100)));
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

int clamped_quality(int quality) { return std::clamp(quality, 1, 100); }

HRESULT show_config_dialog(HWND owner, std::atomic<int>& quality) {
    const INT_PTR result = DialogBoxParamW(vlxcom::this_module(), MAKEINTRESOURCEW(VLXTP_MJPEG_IDD_CONFIG), owner,
                                           config_procedure, reinterpret_cast<LPARAM>(&quality));
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
