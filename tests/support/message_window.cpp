#include "support/message_window.h"

#include "vidlox.h"

namespace vlx_test {

namespace {
constexpr wchar_t kClassName[] = L"vidlox test host window";
}

MessageWindow::MessageWindow(UINT recorded) : recorded_(recorded) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &MessageWindow::procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kClassName;
    RegisterClassW(&window_class);  // fails harmlessly when already registered
    hwnd_ = CreateWindowExW(0, kClassName, L"vidlox test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
}

MessageWindow::~MessageWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

const std::vector<PostedMessage>& MessageWindow::pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return received_;
}

LRESULT CALLBACK MessageWindow::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == self->recorded_) {
        self->received_.push_back({wparam, lparam});
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace vlx_test
