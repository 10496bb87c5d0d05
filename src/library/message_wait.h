// Waiting on the host's thread the way the library's waits do (vlx_WaitFrame,
// vlx_WaitStill): a bounded time, with the thread's window messages handed
// to their windows meanwhile, as the host's own loop would. The preview
// window lives on that thread, and a renderer whose window gets no messages
// can hold up the stream.
#pragma once

#include "library/platform_call.h"

#include <windows.h>

#include <cstdint>

namespace vlx {

// Milliseconds left of a wait; a negative time-out never ends.
class Deadline {
public:
    explicit Deadline(int32_t timeout_ms)
        : endless_(timeout_ms < 0), end_(GetTickCount64() + static_cast<ULONGLONG>(endless_ ? 0 : timeout_ms)) {}
    DWORD remaining_ms() const {
        if (endless_) return INFINITE;
        const ULONGLONG now = GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }

private:
    bool endless_;
    ULONGLONG end_;
};

enum class Woken {
    event,      // `event` was signalled (an auto-reset event is reset)
    messages,   // messages came and were dispatched: look again, wait again
    timed_out,
    quit,       // WM_QUIT came; it is posted again for the host's loop
    failed,     // MsgWaitForMultipleObjectsEx failed
};

// One wait of at most `remaining_ms` for `event` or a message of this
// thread; `step` names the wait for the test build.
Woken wait_dispatching(HANDLE event, DWORD remaining_ms, StepName step);

}  // namespace vlx
