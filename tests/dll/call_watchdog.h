// Ends the process when a call into the library does not return in time: a
// hung call cannot be cancelled, and a test that waits for it never ends.
// The message names the call; the calling thread's stack follows as
// module+offset lines, and VLX_RANDOM_HANG_HOLD_MS keeps the hung process
// that long first, for winedbg to read every thread's stack.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

namespace vlx_test {

class CallWatchdog {
public:
    CallWatchdog();
    ~CallWatchdog();
    CallWatchdog(const CallWatchdog&) = delete;
    CallWatchdog& operator=(const CallWatchdog&) = delete;

    // From now on `what` must return within `limit_ms`, until the next arm()
    // or disarm(). The thread that arms is the one whose stack is printed.
    void arm(std::string what, DWORD limit_ms);
    void disarm();

    // `call()` under the watchdog.
    template <class Call>
    auto bounded(const char* what, DWORD limit_ms, Call&& call) {
        arm(what, limit_ms);
        struct Disarm {
            CallWatchdog& dog;
            ~Disarm() { dog.disarm(); }
        } disarm_after{*this};
        return call();
    }

    // Called on the watchdog's thread before the process ends (the recent
    // calls of a random run, for instance).
    void on_hang(void (*report)()) { report_ = report; }

private:
    void watch();

    CRITICAL_SECTION lock_;
    HANDLE changed_;
    HANDLE stop_;
    HANDLE caller_ = nullptr;
    std::string what_;
    ULONGLONG deadline_ = 0;  // 0: disarmed
    void (*report_)() = nullptr;
    std::thread thread_;
};

}  // namespace vlx_test
