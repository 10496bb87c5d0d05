#include "dll/call_watchdog.h"

#include "dll/random_stack.h"

#include <cstdio>
#include <cstdlib>

namespace vlx_test {

CallWatchdog::CallWatchdog()
    : changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    InitializeCriticalSection(&lock_);
    thread_ = std::thread([this] { watch(); });
}

CallWatchdog::~CallWatchdog() {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
    CloseHandle(changed_);
    if (caller_) CloseHandle(caller_);
    DeleteCriticalSection(&lock_);
}

void CallWatchdog::arm(std::string what, DWORD limit_ms) {
    HANDLE caller = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &caller, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    EnterCriticalSection(&lock_);
    if (caller_) CloseHandle(caller_);
    caller_ = caller;
    what_ = std::move(what);
    deadline_ = GetTickCount64() + limit_ms;
    LeaveCriticalSection(&lock_);
    SetEvent(changed_);
}

void CallWatchdog::disarm() {
    EnterCriticalSection(&lock_);
    deadline_ = 0;
    LeaveCriticalSection(&lock_);
    SetEvent(changed_);
}

void CallWatchdog::watch() {
    const HANDLE events[] = {stop_, changed_};
    for (;;) {
        EnterCriticalSection(&lock_);
        const ULONGLONG deadline = deadline_;
        LeaveCriticalSection(&lock_);
        const ULONGLONG now = GetTickCount64();
        DWORD wait = INFINITE;
        if (deadline != 0) wait = deadline > now ? static_cast<DWORD>(deadline - now) : 0;
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, wait);
        if (woken == WAIT_OBJECT_0) return;
        if (woken != WAIT_TIMEOUT) continue;
        EnterCriticalSection(&lock_);
        const bool expired = deadline_ != 0 && GetTickCount64() >= deadline_;
        LeaveCriticalSection(&lock_);
        if (!expired) continue;
        std::fprintf(stderr, "hang: %s did not return in time\n", what_.c_str());
        if (report_) report_();
        std::fprintf(stderr, "the calling thread's stack:\n");
        print_thread_stack(caller_);
        if (const char* hold = std::getenv("VLX_RANDOM_HANG_HOLD_MS")) Sleep(std::strtoul(hold, nullptr, 10));
        TerminateProcess(GetCurrentProcess(), 4);
    }
}

}  // namespace vlx_test
