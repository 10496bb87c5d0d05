// Whether a process named by its id is still running: how a killed reader
// loses its place in the channel and a killed publisher is noticed.
#pragma once

#include <windows.h>

namespace vlxshare::transport {

// True while process `pid` runs (ours always does). A process we may not
// open (another user's) counts as running.
bool process_alive(DWORD pid);

// The same question asked often about one process: keeps a handle to it
// while the id stays the same, so a reused id is not taken for it.
class ProcessWatch {
public:
    ProcessWatch() = default;
    ~ProcessWatch() { forget(); }
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    bool alive(DWORD pid);
    void forget();

private:
    DWORD pid_ = 0;
    HANDLE process_ = nullptr;
    bool open_failed_alive_ = false;
};

}  // namespace vlxshare::transport
