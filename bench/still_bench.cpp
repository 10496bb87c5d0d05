// Stills while the preview runs: the test camera captures 640x480 at 30 fps
// and its still pin gives 3840x2160 stills. A host takes every preview frame
// (vlx_WaitFrame, vlx_GetFrame) and, every half second, asks for a still
// (vlx_TriggerStill) and takes it (vlx_WaitStill, vlx_GetStill) between its
// frames. Figures:
//   - trigger to still in the host's hands (vlx_TriggerStill called to
//     vlx_GetStill returned), median and 99th percentile, split at the
//     still's arrival; against one memcpy of the still, measured in the same
//     run, the least any still in hand costs;
//   - preview frames lost while a still is taken (trigger to one frame
//     interval after the still is in hand): the camera's picture numbers
//     skipped between the frames the host took, and the device's own drops,
//     against the same count over as many frames of a run without stills.
//   still_bench.exe [stills]   (40 by default)
#include "bench_support.h"
#include "dll/host_library.h"
#include "support/frame_check.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using vlx_test::vidlox;

namespace {

constexpr int32_t kStillWidth = 3840, kStillHeight = 2160;
constexpr double kFrameSeconds = 333333e-7;

template <class Fn>
Fn find(HMODULE module, const char* name) {
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!fn) {
        std::fprintf(stderr, "%s is not exported\n", name);
        std::exit(1);
    }
    return fn;
}

struct Library {
    HMODULE module = (vidlox(), GetModuleHandleW(L"vidlox64.dll"));
    decltype(&vlx_WaitFrame) WaitFrame = find<decltype(&vlx_WaitFrame)>(module, "vlx_WaitFrame");
    decltype(&vlx_GetFrame) GetFrame = find<decltype(&vlx_GetFrame)>(module, "vlx_GetFrame");
    decltype(&vlx_SetStillSize) SetStillSize = find<decltype(&vlx_SetStillSize)>(module, "vlx_SetStillSize");
    decltype(&vlx_TriggerStill) TriggerStill = find<decltype(&vlx_TriggerStill)>(module, "vlx_TriggerStill");
    decltype(&vlx_WaitStill) WaitStill = find<decltype(&vlx_WaitStill)>(module, "vlx_WaitStill");
    decltype(&vlx_GetStill) GetStill = find<decltype(&vlx_GetStill)>(module, "vlx_GetStill");
};

// The arrival clock's now, in seconds (100 ns units of the performance counter).
double arrival_now() {
    LARGE_INTEGER ticks, frequency;
    QueryPerformanceCounter(&ticks);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

// The preview frames a host takes, and what it could not take.
struct Preview {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(640 * 480 * 3);
    BITMAPINFO header{};
    uint32_t last_picture = 0;
    bool seen = false;
    int64_t dropped = -1;
    // Counted while `counting`: frames taken, pictures skipped, device drops.
    bool counting = false;
    int64_t taken = 0, skipped = 0, device_dropped = 0;

    // Takes a frame if one is there within `wait_ms`.
    void take(const Library& l, int32_t wait_ms) {
        if (l.WaitFrame(wait_ms) != 0) return;
        int32_t size = static_cast<int32_t>(pixels.size());
        int64_t info[VLX_FRAME_INFO_COUNT];
        if (l.GetFrame(pixels.data(), &size, &header, info) != 0) return;
        const uint32_t picture = vlx_test::frame_number(pixels.data(), 640, 480);
        if (counting && seen) {
            ++taken;
            skipped += picture > last_picture + 1 ? picture - last_picture - 1 : 0;
            device_dropped += dropped >= 0 ? info[VLX_FRAME_DROPPED] - dropped : 0;
        }
        seen = true;
        last_picture = picture;
        dropped = info[VLX_FRAME_DROPPED];
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int stills = argc > 1 ? std::atoi(argv[1]) : 40;
    const vlx_test::Vidlox& v = vidlox();
    const Library l;
    const int32_t camera = vlx_test::init_and_find_device(VLXCAM_NAME_MAIN);
    if (camera < 0) return 1;
    v.SetDevWidth(640);
    v.SetDevHeight(480);
    v.SetDevFrameRate(30.0);
    if (l.SetStillSize(kStillWidth, kStillHeight) != 0 || v.Open(camera, 6, 0, 0, 0) != 0 || v.Play2() < 0) {
        std::fprintf(stderr, "the test camera with its %dx%d stills did not open\n", kStillWidth, kStillHeight);
        return 1;
    }
    Preview preview;
    for (const double start = arrival_now(); arrival_now() - start < 1.0;) preview.take(l, 100);  // settled

    // Baseline: the preview alone, over as many frames as the stills' run
    // will hold.
    preview.counting = true;
    const double baseline_start = arrival_now();
    while (arrival_now() - baseline_start < 0.5 * stills) preview.take(l, 100);
    const Preview baseline = preview;
    preview.taken = preview.skipped = preview.device_dropped = 0;

    std::vector<uint8_t> still(static_cast<size_t>(kStillWidth) * kStillHeight * 3);
    std::vector<double> in_hand_ms, to_arrival_ms, arrival_to_hand_ms;
    int64_t window_taken = 0, window_skipped = 0, window_dropped = 0;
    for (int k = 0; k < stills; ++k) {
        preview.counting = false;
        for (const double pause = arrival_now(); arrival_now() - pause < 0.5;) preview.take(l, 20);
        const Preview before = preview;
        preview.counting = true;
        const double asked = arrival_now();
        if (l.TriggerStill() != 0) return 1;
        // Frames keep being taken while the still is on its way.
        while (l.WaitStill(0) != 0) {
            preview.take(l, 2);
            if (arrival_now() - asked > 5.0) {
                std::fprintf(stderr, "no still within 5 s\n");
                return 1;
            }
        }
        int32_t size = static_cast<int32_t>(still.size());
        BITMAPINFO header{};
        int64_t info[VLX_STILL_INFO_COUNT];
        if (l.GetStill(still.data(), &size, &header, info) != 0) return 1;
        const double held = arrival_now();
        in_hand_ms.push_back((held - asked) * 1e3);
        to_arrival_ms.push_back((static_cast<double>(info[VLX_STILL_ARRIVAL]) * 1e-7 - asked) * 1e3);
        arrival_to_hand_ms.push_back((held - static_cast<double>(info[VLX_STILL_ARRIVAL]) * 1e-7) * 1e3);
        while (arrival_now() - held < kFrameSeconds) preview.take(l, 2);
        window_taken += preview.taken - before.taken;
        window_skipped += preview.skipped - before.skipped;
        window_dropped += preview.device_dropped - before.device_dropped;
    }
    v.Stop();
    v.Close();
    v.SetActiveSel(0);
    l.SetStillSize(0, 0);
    v.Exit();

    const double copy_ms = vlx_bench::memcpy_seconds(still.size(), 10) * 1e3;
    std::printf("stills of %dx%d (%.1f MB) while the preview runs at 640x480, 30 fps: %d stills\n", kStillWidth,
                kStillHeight, static_cast<double>(still.size()) / 1e6, stills);
    std::printf("%-36s %10s %10s\n", "", "median ms", "p99 ms");
    const struct {
        const char* what;
        const std::vector<double>& values;
    } rows[] = {{"trigger to still in the host's hands", in_hand_ms},
                {"  trigger to arrival", to_arrival_ms},
                {"  arrival to the host's hands", arrival_to_hand_ms}};
    for (const auto& row : rows)
        std::printf("%-36s %10.1f %10.1f\n", row.what, vlx_bench::median(row.values), percentile(row.values, 0.99));
    std::printf("one memcpy of the still: %.1f ms; the median in hand is %.1f of them\n", copy_ms,
                vlx_bench::median(in_hand_ms) / copy_ms);
    std::printf("preview frames lost while stills were taken: %lld skipped, %lld dropped by the device, %lld taken\n",
                static_cast<long long>(window_skipped), static_cast<long long>(window_dropped),
                static_cast<long long>(window_taken));
    std::printf("the preview alone over %.0f s: %lld skipped, %lld dropped by the device, %lld taken\n",
                0.5 * stills, static_cast<long long>(baseline.skipped), static_cast<long long>(baseline.device_dropped),
                static_cast<long long>(baseline.taken));
    return 0;
}
