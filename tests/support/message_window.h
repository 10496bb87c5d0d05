// A real top-level window whose queue the test pumps, recording the error
// messages the library posts to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vlx_test {

struct PostedMessage {
    WPARAM wparam;
    LPARAM lparam;
};

class MessageWindow {
public:
    // Records `recorded` messages (the library's error message by default).
    explicit MessageWindow(UINT recorded = 0x8765);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND handle() const { return hwnd_; }
    // Dispatches everything queued for this thread, then returns what arrived.
    const std::vector<PostedMessage>& pump();

private:
    static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    UINT recorded_;
    HWND hwnd_ = nullptr;
    std::vector<PostedMessage> received_;
};

}  // namespace vlx_test
