// Whether a process of the channel still runs: how a killed reader loses
// its place and a killed publisher is noticed. A process is known by its id
// and its start, so that an id that a new process took over is not taken
// for the old one.
#pragma once

#include "sharecam/transport/layout.h"

#include <windows.h>

#include <cstdint>

namespace vlxshare::transport {

// This process's start (its creation time), read once.
int64_t this_process_started();

// Both halves of `identity` as one value (a 128-bit read).
struct IdentityValue {
    int64_t who = 0;
    int64_t started = 0;
};
IdentityValue read_identity(Identity& identity);
// Replaces `expected` with `wanted`; false when the identity held anything else.
bool swap_identity(Identity& identity, const IdentityValue& expected, const IdentityValue& wanted);

// True while process `pid`, started at `started`, runs. A process we may
// not open (another user's) counts as running; one that runs under `pid`
// but started at another time is another process.
bool process_alive(DWORD pid, int64_t started);

// The same question asked often about one process: keeps a handle to it
// while its identity stays the same.
class ProcessWatch {
public:
    ProcessWatch() = default;
    ~ProcessWatch() { forget(); }
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    bool alive(DWORD pid, int64_t started);
    void forget();

private:
    DWORD pid_ = 0;
    int64_t started_ = 0;
    HANDLE process_ = nullptr;
    bool open_failed_alive_ = false;
};

}  // namespace vlxshare::transport
