#include "support/frame_watcher.h"

#include <commctrl.h>

#include <algorithm>

namespace vlx_test {

namespace {

std::wstring text_of(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

HWND dialog_of_thread(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM out) -> BOOL {
            wchar_t name[32] = L"";
            GetClassNameW(window, name, 32);
            if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void read_frame(HWND frame, FrameSeen& seen) {
    seen.caption = text_of(frame);
    seen.tabs.clear();
    seen.texts.clear();
    EnumChildWindows(
        frame,
        [](HWND window, LPARAM out) -> BOOL {
            auto& seen = *reinterpret_cast<FrameSeen*>(out);
            seen.texts.push_back(text_of(window));
            wchar_t name[32] = L"";
            GetClassNameW(window, name, 32);
            if (std::wstring(name) == WC_TABCONTROLW) {
                const auto count = SendMessageW(window, TCM_GETITEMCOUNT, 0, 0);
                for (LRESULT i = 0; i < count; ++i) {
                    wchar_t title[128] = L"";
                    TCITEMW item{};
                    item.mask = TCIF_TEXT;
                    item.pszText = title;
                    item.cchTextMax = 128;
                    SendMessageW(window, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
                    seen.tabs.emplace_back(title);
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
}

}  // namespace

bool FrameSeen::shows(const std::wstring& text) const {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

FrameWatcher::FrameWatcher(std::wstring page_text, DWORD timeout_ms, DWORD thread)
    : page_text_(std::move(page_text)), timeout_ms_(timeout_ms), thread_(thread), worker_([this] { watch(); }) {}

FrameWatcher::~FrameWatcher() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

FrameSeen FrameWatcher::finish() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    return seen_;
}

void FrameWatcher::watch() {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms_;
    bool handled = false;
    while (!stop_) {
        if (HWND frame = dialog_of_thread(thread_)) {
            FrameSeen now;
            read_frame(frame, now);
            const bool ready = page_text_.empty() || now.shows(page_text_);
            if (ready || handled || GetTickCount64() > deadline) {
                if (!handled) {
                    seen_ = now;
                    seen_.found = ready;
                }
                PostMessageW(frame, WM_CLOSE, 0, 0);
                handled = true;  // frames after the first are only closed
            }
        } else if (!handled && GetTickCount64() > deadline) {
            PostThreadMessageW(thread_, WM_QUIT, 0, 0);
            handled = true;
        }
        Sleep(20);
    }
}

}  // namespace vlx_test
