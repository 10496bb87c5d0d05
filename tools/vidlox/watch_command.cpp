// watch DEVICE [--seconds S] [--lock]: takes every frame once through
// vlx_WaitFrame and vlx_GetFrame (with --lock: borrows it, without a copy,
// through vlx_LockFrame and vlx_UnlockFrame), and shows what the frame events
// tell a host: frames taken, frames that arrived and were never taken, the
// device's own dropped frames, the time from a frame's arrival to the
// host holding its bytes, and whether the library held the camera's samples
// or copied each frame (vlx_GetFrameHolding).
#include "capture_session.h"
#include "commands.h"
#include "progress.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tool {

namespace {

constexpr double default_seconds = 5.0;
constexpr int32_t frame_timeout_ms = 5000;  // the slow-start test camera sends its first frame after 2 s

// Now, in the clock and units of a frame's arrival time.
int64_t now_in_arrival_units() {
    LARGE_INTEGER ticks, frequency;
    QueryPerformanceCounter(&ticks);
    QueryPerformanceFrequency(&frequency);
    return ticks.QuadPart / frequency.QuadPart * 10'000'000 +
           ticks.QuadPart % frequency.QuadPart * 10'000'000 / frequency.QuadPart;
}

double percentile_ms(std::vector<double> values, double share) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

}  // namespace

int watch_command(const CommandLine& line) {
    double seconds = default_seconds;
    if (!option_double(line, "--seconds", seconds)) return exit_usage;
    const bool lock = line.flags.count("--lock") != 0;

    CaptureSession session;
    if (int failed = session.open(line.positional[0], render_null_renderer)) return failed;
    if (int failed = session.run()) return failed;

    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
    int64_t info[VLX_FRAME_INFO_COUNT] = {};
    std::vector<double> latencies_ms;
    int64_t taken = 0, missed = 0, first_number = 0, last_number = 0;
    int64_t first_dropped = -1;
    Progress progress("watch");
    while (progress.elapsed_seconds() < seconds) {
        const int32_t waited = vlx_WaitFrame(frame_timeout_ms);
        if (waited == 1) return tool_failure("no frame arrived for %d ms", frame_timeout_ms);
        if (waited < 0) return library_failure("vlx_WaitFrame", waited);
        int32_t size = 0;
        if (lock) {
            const void* lent = nullptr;
            const int32_t locked = vlx_LockFrame(&lent, &size, &header, info);
            if (locked < 0) return library_failure("vlx_LockFrame", locked);
            // The bytes are in hand as they are: nothing copied.
            latencies_ms.push_back(static_cast<double>(now_in_arrival_units() - info[VLX_FRAME_ARRIVAL]) / 1e4);
            const int32_t unlocked = vlx_UnlockFrame();
            if (unlocked < 0) return library_failure("vlx_UnlockFrame", unlocked);
        } else {
            const int32_t sized = vlx_GetFrame(nullptr, &size, &header, info);
            if (sized < 0) return library_failure("vlx_GetFrame", sized);
            pixels.resize(static_cast<size_t>(size));
            const int32_t took = vlx_GetFrame(pixels.data(), &size, &header, info);
            // A larger frame may have come between the two calls: size again.
            if (took == -4) continue;
            if (took < 0) return library_failure("vlx_GetFrame", took);
            latencies_ms.push_back(static_cast<double>(now_in_arrival_units() - info[VLX_FRAME_ARRIVAL]) / 1e4);
        }
        if (taken++ == 0) {
            first_number = info[VLX_FRAME_NUMBER];
            first_dropped = info[VLX_FRAME_DROPPED];
        } else {
            missed += info[VLX_FRAME_MISSED];
        }
        last_number = info[VLX_FRAME_NUMBER];
        progress.show(taken, -1);
    }
    progress.finish(taken, -1);
    const int32_t holding = vlx_GetFrameHolding();
    if (holding < 0) return library_failure("vlx_GetFrameHolding", holding);
    if (int failed = session.stop()) return failed;

    const double elapsed = progress.elapsed_seconds();
    std::printf("took %lld of %lld frames that arrived (%.1f per second), missed %lld\n",
                static_cast<long long>(taken), static_cast<long long>(last_number - first_number + 1),
                static_cast<double>(taken) / elapsed, static_cast<long long>(missed));
    if (first_dropped >= 0 && info[VLX_FRAME_DROPPED] >= first_dropped)
        std::printf("the device dropped %lld\n", static_cast<long long>(info[VLX_FRAME_DROPPED] - first_dropped));
    else
        std::printf("the device reports no dropped frames (no IAMDroppedFrames)\n");
    std::printf("latency from arrival to the bytes in hand: median %.2f ms, 99th percentile %.2f ms\n",
                percentile_ms(latencies_ms, 0.5), percentile_ms(latencies_ms, 0.99));
    std::printf("frames kept by the library: %s\n",
                holding == VLX_FRAMES_HELD ? "the camera's samples themselves (no copy of its own)"
                                           : "copied on arrival (the camera's allocator has no buffers to spare)");
    return exit_ok;
}

}  // namespace tool
