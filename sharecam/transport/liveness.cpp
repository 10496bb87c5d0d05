#include "sharecam/transport/liveness.h"

namespace vlxshare::transport {

namespace {

// The creation time of `process`, or -1.
int64_t started_of(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
}

// Opens process `pid` if it is the one that started at `started`: the
// handle, or null with `alive` telling whether to count it as running.
HANDLE open_process(DWORD pid, int64_t started, bool& alive) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        alive = GetLastError() == ERROR_ACCESS_DENIED;  // not ours to open: assume it runs
        return nullptr;
    }
    if (started_of(process) != started) {  // the id belongs to a later process
        CloseHandle(process);
        alive = false;
        return nullptr;
    }
    return process;
}

// InterlockedCompareExchange128, which MinGW's headers lack: lock
// cmpxchg16b (every x64 processor Windows 8.1 and later runs on has it).
// `expected` receives what the 16 bytes held.
bool compare_exchange_16(volatile LONG64* target, LONG64 (&expected)[2], LONG64 low, LONG64 high) {
    bool swapped;
    __asm__ __volatile__("lock cmpxchg16b %1"
                         : "=@ccz"(swapped), "+m"(*reinterpret_cast<volatile LONG64(*)[2]>(target)),
                           "+a"(expected[0]), "+d"(expected[1])
                         : "b"(low), "c"(high)
                         : "memory");
    return swapped;
}

}  // namespace

int64_t this_process_started() {
    static const int64_t started = started_of(GetCurrentProcess());
    return started;
}

IdentityValue read_identity(Identity& identity) {
    // A compare-and-swap of 0 with 0 reads both halves at once and changes
    // nothing (the mapping is writable for every process of the channel).
    LONG64 both[2] = {0, 0};
    compare_exchange_16(&identity.who, both, 0, 0);
    return {both[0], both[1]};
}

bool swap_identity(Identity& identity, const IdentityValue& expected, const IdentityValue& wanted) {
    LONG64 both[2] = {expected.who, expected.started};
    return compare_exchange_16(&identity.who, both, wanted.who, wanted.started);
}

bool process_alive(DWORD pid, int64_t started) {
    if (pid == 0) return false;
    if (pid == GetCurrentProcessId()) return started == this_process_started();
    bool alive = false;
    HANDLE process = open_process(pid, started, alive);
    if (!process) return alive;
    const DWORD waited = WaitForSingleObject(process, 0);
    CloseHandle(process);
    return waited == WAIT_TIMEOUT;
}

bool ProcessWatch::alive(DWORD pid, int64_t started) {
    if (pid == 0) return false;
    if (pid == GetCurrentProcessId()) return started == this_process_started();
    if (pid != pid_ || started != started_) {
        forget();
        pid_ = pid;
        started_ = started;
        process_ = open_process(pid, started, open_failed_alive_);
    }
    if (!process_) return open_failed_alive_;
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ProcessWatch::forget() {
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
    started_ = 0;
    open_failed_alive_ = false;
}

}  // namespace vlxshare::transport
