// share DEVICE --channel N [--seconds S]: publishes the device on a channel
// of the shared camera ("vidlox Shared Camera N", vidlox-share64.dll) until
// Ctrl+C or S seconds, and prints once a second how many programs read it
// and at what rate frames go out.
#include "capture_session.h"
#include "commands.h"
#include "report.h"

#include <vidlox.h>

#include <atomic>
#include <cstdio>

namespace tool {

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    g_interrupted = true;
    return TRUE;
}

}  // namespace

int share_command(const CommandLine& line) {
    int channel = 0;
    double seconds = -1.0;  // until Ctrl+C
    if (!option_int(line, "--channel", channel) || !option_double(line, "--seconds", seconds)) return exit_usage;
    if (channel < 1 || channel > VLX_SHARE_CHANNEL_COUNT) {
        std::fprintf(stderr, "vidlox: --channel takes 1 to %d\n", VLX_SHARE_CHANNEL_COUNT);
        return exit_usage;
    }
    CaptureSession session;
    if (int failed = session.open(line.positional[0], render_null_renderer)) return failed;
    if (int failed = session.run()) return failed;
    if (const int32_t shared = vlx_ShareSlot(channel); shared != 0) return library_failure("vlx_ShareSlot", shared);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    std::printf("publishing on channel %d (\"vidlox Shared Camera %d\")%s\n", channel, channel,
                seconds < 0 ? "; Ctrl+C ends" : "");
    std::fflush(stdout);

    const ULONGLONG start = GetTickCount64();
    ULONGLONG next_line = start + 1000;
    int64_t info[VLX_SHARE_INFO_COUNT] = {};
    int64_t published_before = 0;
    while (!g_interrupted && (seconds < 0 || static_cast<double>(GetTickCount64() - start) < seconds * 1000.0)) {
        Sleep(20);
        if (GetTickCount64() < next_line) continue;
        next_line += 1000;
        const int32_t read = vlx_GetShareInfo(channel, info);
        if (read < 0) return library_failure("vlx_GetShareInfo", read);
        if (int failed = session.healthy()) return failed;
        if (read == 2) return tool_failure("the device's frames are larger than a channel carries; none goes out");
        std::printf("%3llu s  readers %lld  %lld frames per second  (published %lld, slowest reader skipped %lld)\n",
                    static_cast<unsigned long long>((GetTickCount64() - start) / 1000),
                    static_cast<long long>(info[VLX_SHARE_READERS]),
                    static_cast<long long>(info[VLX_SHARE_PUBLISHED] - published_before),
                    static_cast<long long>(info[VLX_SHARE_PUBLISHED]), static_cast<long long>(info[VLX_SHARE_SKIPPED]));
        std::fflush(stdout);
        published_before = info[VLX_SHARE_PUBLISHED];
    }
    SetConsoleCtrlHandler(on_console_event, FALSE);
    if (const int32_t stopped = vlx_ShareSlot(0); stopped != 0) return library_failure("vlx_ShareSlot", stopped);
    std::printf("stopped publishing after %.1f s\n", static_cast<double>(GetTickCount64() - start) / 1000.0);
    return session.close();
}

}  // namespace tool
