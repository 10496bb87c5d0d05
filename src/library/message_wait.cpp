#include "library/message_wait.h"

namespace vlx {

namespace {

// False on WM_QUIT, which is posted again for the host's loop to see.
bool dispatch_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

}  // namespace

Woken wait_dispatching(HANDLE event, DWORD remaining_ms, StepName step) {
    DWORD woke = WAIT_FAILED;
    platform_call(step, [&] {
        woke = MsgWaitForMultipleObjectsEx(1, &event, remaining_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        return woke == WAIT_FAILED ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
    });
    if (woke == WAIT_FAILED) return Woken::failed;
    if (woke == WAIT_OBJECT_0) return Woken::event;
    if (woke == WAIT_OBJECT_0 + 1) return dispatch_messages() ? Woken::messages : Woken::quit;
    return Woken::timed_out;
}

}  // namespace vlx
