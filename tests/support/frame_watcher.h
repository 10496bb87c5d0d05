// Watches a thread that is about to block in a modal property frame: finds
// the frame, reads what it shows, and closes it. A frame that does not
// appear in time fails the test instead of hanging it: the watcher then
// posts WM_QUIT to the thread, which ends any modal loop, and keeps closing
// frames until it is finished.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace vlx_test {

struct FrameSeen {
    bool found = false;
    std::wstring caption;
    std::vector<std::wstring> tabs;   // the page titles
    std::vector<std::wstring> texts;  // every window text inside the frame
    bool shows(const std::wstring& text) const;
};

class FrameWatcher {
public:
    // Watches `thread` (the caller's, by default) for a dialog frame; the frame
    // is read once a window inside it shows `page_text` (or at once when
    // `page_text` is empty).
    explicit FrameWatcher(std::wstring page_text = {}, DWORD timeout_ms = 10000,
                          DWORD thread = GetCurrentThreadId());
    ~FrameWatcher();
    FrameWatcher(const FrameWatcher&) = delete;
    FrameWatcher& operator=(const FrameWatcher&) = delete;

    // Call after the blocking call returned: stops watching, returns what the
    // frame showed (found is false when no frame came in time).
    FrameSeen finish();

private:
    void watch();

    std::wstring page_text_;
    DWORD timeout_ms_;
    DWORD thread_;
    std::atomic<bool> stop_{false};
    FrameSeen seen_;
    std::thread worker_;
};

}  // namespace vlx_test
