// Every frame once, against polling. For the test camera at 1920x1080 and 30
// fps in one slot, and at 1280x720 and 30 fps in four slots, 10 s each (or
// the seconds given), in one run:
//   (a) a host that polls vlx_GetImageMem at 30 Hz,
//   (b) a host that waits with vlx_WaitFrame and takes with vlx_GetFrame,
//       slot after slot,
//   (c) with several slots, a host that waits for any of them: messages of
//       vlx_SetFrameNotify, then vlx_GetFrame on the slot that announced one,
//   (d) a host that waits with vlx_WaitFrame and borrows each frame with
//       vlx_LockFrame (no copy), reads its picture number, gives it back.
// Figures: the frames the host took per frame the camera made (the camera's
// picture numbers tell), the duplicates it took, the process CPU as a share
// of one core, and the latency from a frame's arrival to the host holding
// its bytes. (b) and (c) read the arrival from vlx_GetFrame; polling has no
// arrival time, so every mode is also given the schedule estimate: the
// camera makes frame k at a fixed k / 30 s after its start, and the
// earliest sighting of any frame stands for no delay.
#include "bench_support.h"
#include "dll/frame_event_exports.h"
#include "dll/host_library.h"
#include "support/frame_check.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using vlx_test::frame_events;
using vlx_test::vidlox;

namespace {

constexpr double kFrameSeconds = 333333e-7;  // the camera's 30 fps interval
constexpr UINT kNewFrame = WM_APP + 1;

struct Stream {
    int32_t slot = 0;
    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
    bool seen = false;
    uint32_t first = 0, last = 0;
    int64_t first_dropped = -1, last_dropped = -1;  // the device's count, at the first and last take
    std::vector<std::pair<uint32_t, double>> sightings;  // picture, when first held
};

struct Figures {
    int64_t camera_frames = 0, taken = 0, duplicates = 0, device_dropped = 0, missed = 0;
    double cpu = 0, wall = 0;
    std::vector<double> latency_ms, schedule_latency_ms;
};

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

double arrival_clock_seconds() {
    LARGE_INTEGER ticks, frequency;
    QueryPerformanceCounter(&ticks);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Counts a frame the host now holds in `stream.pixels`.
void held(Stream& stream, Figures& figures, double now) {
    const uint32_t picture = vlx_test::frame_number(stream.pixels.data(), stream.header.bmiHeader.biWidth,
                                                    stream.header.bmiHeader.biHeight);
    if (stream.seen && picture == stream.last) {
        ++figures.duplicates;
        return;
    }
    if (!stream.seen) stream.first = picture;
    stream.seen = true;
    stream.last = picture;
    ++figures.taken;
    stream.sightings.emplace_back(picture, now);
}

void finish(std::vector<Stream>& streams, Figures& figures) {
    for (Stream& stream : streams) {
        if (!stream.seen) continue;
        figures.camera_frames += int64_t{stream.last} - stream.first + 1;
        if (stream.first_dropped >= 0) figures.device_dropped += stream.last_dropped - stream.first_dropped;
        double earliest = 1e300;
        for (const auto& [picture, when] : stream.sightings) earliest = std::min(earliest, when - picture * kFrameSeconds);
        for (const auto& [picture, when] : stream.sightings)
            figures.schedule_latency_ms.push_back((when - picture * kFrameSeconds - earliest) * 1e3);
    }
}

bool open_streams(std::vector<Stream>& streams, int32_t camera, int32_t width, int32_t height) {
    const vlx_test::Vidlox& v = vidlox();
    for (Stream& stream : streams) {
        v.SetActiveSel(stream.slot);
        v.SetDevWidth(width);
        v.SetDevHeight(height);
        v.SetDevFrameRate(30.0);
        if (v.Open(camera, 6, 0, 0, 0) != 0 || v.Play2() < 0) return false;
        stream.pixels.resize(static_cast<size_t>(v.GetImageMemSize(0)));
        int32_t size = static_cast<int32_t>(stream.pixels.size());
        const ULONGLONG deadline = GetTickCount64() + 5000;
        while (v.GetImageMem(stream.pixels.data(), &size, &stream.header) != 0) {
            if (GetTickCount64() > deadline) return false;
            Sleep(5);
        }
    }
    return true;
}

using Host = void (*)(std::vector<Stream>&, Figures&, double seconds);

void poll_at_30_hz(std::vector<Stream>& streams, Figures& figures, double seconds) {
    const vlx_test::Vidlox& v = vidlox();
    const double start = vlx_bench::now_seconds();
    for (int tick = 1; vlx_bench::now_seconds() - start < seconds; ++tick) {
        const double wait = start + tick * kFrameSeconds - vlx_bench::now_seconds();
        if (wait > 0) Sleep(static_cast<DWORD>(wait * 1e3));
        for (Stream& stream : streams) {
            v.SetActiveSel(stream.slot);
            int32_t size = static_cast<int32_t>(stream.pixels.size());
            if (v.GetImageMem(stream.pixels.data(), &size, &stream.header) == 0)
                held(stream, figures, arrival_clock_seconds());
        }
    }
}

// The newest frame of the active slot, with its latency.
void take(Stream& stream, Figures& figures) {
    int64_t info[VLX_FRAME_INFO_COUNT];
    int32_t size = static_cast<int32_t>(stream.pixels.size());
    if (frame_events().GetFrame(stream.pixels.data(), &size, &stream.header, info) != 0) return;
    const double now = arrival_clock_seconds();
    figures.latency_ms.push_back((now - static_cast<double>(info[VLX_FRAME_ARRIVAL]) * 1e-7) * 1e3);
    if (stream.first_dropped < 0) stream.first_dropped = info[VLX_FRAME_DROPPED];
    if (stream.seen) figures.missed += info[VLX_FRAME_MISSED];
    stream.last_dropped = info[VLX_FRAME_DROPPED];
    held(stream, figures, now);
}

// The newest frame of the active slot borrowed: only its picture number is
// read from the lent bytes.
void borrow(Stream& stream, Figures& figures) {
    int64_t info[VLX_FRAME_INFO_COUNT];
    const void* lent = nullptr;
    int32_t size = 0;
    if (frame_events().LockFrame(&lent, &size, &stream.header, info) != 0) return;
    const double now = arrival_clock_seconds();
    figures.latency_ms.push_back((now - static_cast<double>(info[VLX_FRAME_ARRIVAL]) * 1e-7) * 1e3);
    if (stream.first_dropped < 0) stream.first_dropped = info[VLX_FRAME_DROPPED];
    if (stream.seen) figures.missed += info[VLX_FRAME_MISSED];
    stream.last_dropped = info[VLX_FRAME_DROPPED];
    const uint32_t picture = vlx_test::frame_number(static_cast<const uint8_t*>(lent), stream.header.bmiHeader.biWidth,
                                                    stream.header.bmiHeader.biHeight);
    frame_events().UnlockFrame();
    if (stream.seen && picture == stream.last) {
        ++figures.duplicates;
        return;
    }
    if (!stream.seen) stream.first = picture;
    stream.seen = true;
    stream.last = picture;
    ++figures.taken;
    stream.sightings.emplace_back(picture, now);
}

void wait_and_borrow(std::vector<Stream>& streams, Figures& figures, double seconds) {
    const double start = vlx_bench::now_seconds();
    while (vlx_bench::now_seconds() - start < seconds) {
        for (Stream& stream : streams) {
            vidlox().SetActiveSel(stream.slot);
            if (frame_events().WaitFrame(1000) == 0) borrow(stream, figures);
        }
    }
}

void wait_and_take(std::vector<Stream>& streams, Figures& figures, double seconds) {
    const double start = vlx_bench::now_seconds();
    while (vlx_bench::now_seconds() - start < seconds) {
        for (Stream& stream : streams) {
            vidlox().SetActiveSel(stream.slot);
            if (frame_events().WaitFrame(1000) == 0) take(stream, figures);
        }
    }
}

void take_announced(std::vector<Stream>& streams, Figures& figures, double seconds) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (Stream& stream : streams) {
        vidlox().SetActiveSel(stream.slot);
        frame_events().SetFrameNotify(window, kNewFrame);
    }
    const double start = vlx_bench::now_seconds();
    for (double left = seconds; left > 0; left = seconds - (vlx_bench::now_seconds() - start)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1e3), QS_ALLPOSTMESSAGE);
        MSG message;
        while (PeekMessageW(&message, window, kNewFrame, kNewFrame, PM_REMOVE)) {
            // The message may announce a frame already taken with a later
            // one: only a frame not taken yet is taken.
            vidlox().SetActiveSel(static_cast<int32_t>(message.wParam));
            if (frame_events().WaitFrame(0) != 0) continue;
            for (Stream& stream : streams)
                if (stream.slot == static_cast<int32_t>(message.wParam)) take(stream, figures);
        }
    }
    DestroyWindow(window);
}

Figures measure(Host host, int32_t camera, int32_t width, int32_t height, int slots, double seconds) {
    std::vector<Stream> streams(static_cast<size_t>(slots));
    for (int i = 0; i < slots; ++i) streams[static_cast<size_t>(i)].slot = i;
    Figures figures;
    if (!open_streams(streams, camera, width, height)) {
        std::printf("cannot open %d slots at %dx%d\n", slots, width, height);
    } else {
        const double cpu = vlx_bench::process_cpu_seconds(), wall = vlx_bench::now_seconds();
        host(streams, figures, seconds);
        figures.cpu = vlx_bench::process_cpu_seconds() - cpu;
        figures.wall = vlx_bench::now_seconds() - wall;
        finish(streams, figures);
    }
    vlx_test::close_every_slot();
    return figures;
}

void report(const char* name, const Figures& f, const Figures& polling) {
    const double share = f.cpu / f.wall, polling_share = polling.cpu / polling.wall;
    std::printf("  %-34s took %.3f per camera frame (%lld of %lld), %lld duplicates, CPU %.1f%% of a core "
                "(%.2fx polling)\n",
                name, f.camera_frames ? static_cast<double>(f.taken) / static_cast<double>(f.camera_frames) : 0.0,
                static_cast<long long>(f.taken), static_cast<long long>(f.camera_frames),
                static_cast<long long>(f.duplicates), share * 100, share / polling_share);
    if (!f.latency_ms.empty())
        std::printf("  %-34s the camera dropped %lld (IAMDroppedFrames), the host missed %lld: took %.3f per frame "
                    "it sent\n",
                    "", static_cast<long long>(f.device_dropped), static_cast<long long>(f.missed),
                    static_cast<double>(f.taken) / static_cast<double>(std::max<int64_t>(1, f.camera_frames - f.device_dropped)));
    if (!f.latency_ms.empty())
        std::printf("  %-34s latency from arrival: median %.2f ms, 99th percentile %.2f ms\n", "",
                    percentile(f.latency_ms, 0.5), percentile(f.latency_ms, 0.99));
    std::printf("  %-34s latency by the camera's schedule: median %.2f ms, 99th percentile %.2f ms\n", "",
                percentile(f.schedule_latency_ms, 0.5), percentile(f.schedule_latency_ms, 0.99));
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int32_t camera = vlx_test::init_and_find_device(VLXCAM_NAME_MAIN);
    if (camera < 0) return 1;
    struct Case {
        int32_t width, height;
        int slots;
    };
    for (const Case& c : {Case{1920, 1080, 1}, Case{1280, 720, 4}}) {
        std::printf("%dx%d at 30 fps, %d slot%s, %.0f s each:\n", c.width, c.height, c.slots, c.slots > 1 ? "s" : "",
                    seconds);
        const Figures polling = measure(&poll_at_30_hz, camera, c.width, c.height, c.slots, seconds);
        report("(a) vlx_GetImageMem at 30 Hz", polling, polling);
        report("(b) vlx_WaitFrame + vlx_GetFrame", measure(&wait_and_take, camera, c.width, c.height, c.slots, seconds),
               polling);
        report("(d) vlx_WaitFrame + vlx_LockFrame",
               measure(&wait_and_borrow, camera, c.width, c.height, c.slots, seconds), polling);
        if (c.slots > 1)
            report("(c) vlx_SetFrameNotify + GetFrame",
                   measure(&take_announced, camera, c.width, c.height, c.slots, seconds), polling);
    }
    vidlox().Exit();
    return 0;
}
