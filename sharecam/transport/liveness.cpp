#include "sharecam/transport/liveness.h"

namespace vlxshare::transport {

bool process_alive(DWORD pid) {
    if (pid == 0) return false;
    if (pid == GetCurrentProcessId()) return true;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    const DWORD waited = WaitForSingleObject(process, 0);
    CloseHandle(process);
    return waited == WAIT_TIMEOUT;
}

bool ProcessWatch::alive(DWORD pid) {
    if (pid == 0) return false;
    if (pid == GetCurrentProcessId()) return true;
    if (pid != pid_) {
        forget();
        pid_ = pid;
        process_ = OpenProcess(SYNCHRONIZE, FALSE, pid);
        // No such process: gone. Not ours to open: assume it runs.
        open_failed_alive_ = !process_ && GetLastError() == ERROR_ACCESS_DENIED;
    }
    if (!process_) return open_failed_alive_;
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ProcessWatch::forget() {
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
    open_failed_alive_ = false;
}

}  // namespace vlxshare::transport
