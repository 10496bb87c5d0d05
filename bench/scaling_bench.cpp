// How the library scales with picture size, frame rate and slot count, in one
// run: RGB24 from the test camera at 640x480@30, 1280x720@30 and @60,
// 1920x1080@30 and @60 and 3840x2160@30, in 1, 2, 4 and 8 slots, each slot
// on a test camera device of its own (the edge-case devices that stream as
// the main one does). A host takes every frame: vlx_SetFrameNotify messages,
// then vlx_GetFrame on the slot that announced one. Per case, over the given
// seconds (4 unless told):
//   sent/due   frames the camera sent per frame interval that passed (its
//              picture numbers count the intervals; IAMDroppedFrames counts
//              the frames it could not send)
//   recv/sent  frames the library received (vlx_GetFrame's numbers) per
//              frame the camera sent
//   CPU        the process's CPU time (the camera paints in this process) as
//              a share of one core, and per megapixel received, as a ratio
//              to the first case's (aim: flat, within 1.3x)
// `scaling_bench.exe [seconds] [mode]` runs one mode alone (3840x2160@30),
// for a profiler. A slot count runs only while the previous one of its mode
// kept up (every ratio at 0.95 or more) and its frames fit in memory: beyond
// that, more slots only show the same limit. Where the time goes follows the table:
// per frame of each size, the camera's painting (FramePainter, timed here),
// one memcpy of the frame (the floor of every copy on the way: the grabber's
// buffer, the library's copy, the host's) and what the whole process spent.
#include "bench_support.h"
#include "dll/frame_event_exports.h"
#include "dll/host_library.h"
#include "frame_painter.h"
#include "support/frame_check.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using vlx_test::frame_events;
using vlx_test::vidlox;

namespace {

constexpr UINT kNewFrame = WM_APP + 1;
constexpr double kKeptUp = 0.95;
constexpr int kSlotCounts[] = {1, 2, 4, 8};

struct Mode {
    int32_t width, height;
    int fps;
    double megapixels() const { return static_cast<double>(width) * height / 1e6; }
    size_t frame_bytes() const { return static_cast<size_t>(width) * 3 * static_cast<size_t>(height); }
};
constexpr Mode kModes[] = {{640, 480, 30},   {1280, 720, 30},  {1280, 720, 60},
                           {1920, 1080, 30}, {1920, 1080, 60}, {3840, 2160, 30}};

// One slot's view of its stream: the first and the last frame taken.
struct Stream {
    int32_t slot = 0;
    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
    bool seen = false;
    uint32_t first_picture = 0, last_picture = 0;
    int64_t first_number = 0, last_number = 0;    // the library's frame numbers
    int64_t first_dropped = 0, last_dropped = 0;  // the device's IAMDroppedFrames count
    int64_t taken = 0;
};

struct Figures {
    bool ran = false;
    int64_t due = 0, sent = 0, received = 0, taken = 0;
    double cpu = 0, wall = 0;
    double sent_per_due() const { return due ? static_cast<double>(sent) / static_cast<double>(due) : 0; }
    double received_per_sent() const { return sent ? static_cast<double>(received) / static_cast<double>(sent) : 0; }
};

// The devices that stream RGB24 as the main camera does, in device-list
// order of preference: one per slot. The twins share a name.
std::vector<int32_t> streaming_devices() {
    const vlx_test::Vidlox& v = vidlox();
    const int32_t size = v.GetDeviceListSize(0);
    std::vector<char> text(static_cast<size_t>(std::max(size, 1)), '\0');
    v.GetDeviceList(text.data(), 0);
    std::vector<std::string> names;
    const std::string list(text.data());
    for (size_t start = 0; start < list.size();) {
        const size_t end = list.find("\r\n", start);
        names.push_back(list.substr(start, end - start));
        start = end == std::string::npos ? list.size() : end + 2;
    }
    std::vector<int32_t> devices;
    for (const wchar_t* wanted : {VLXCAM_NAME_MAIN, VLXCAM_NAME_NON_ASCII, VLXCAM_NAME_TWIN, VLXCAM_NAME_COARSE_CONTROLS,
                                  VLXCAM_NAME_UNSTATED_RATE, VLXCAM_NAME_KEEPS_SIZES, VLXCAM_NAME_SLOW_START}) {
        const std::string name = vlx_test::utf8(wanted);
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) devices.push_back(static_cast<int32_t>(i));
    }
    return devices;
}

// Takes the active slot's newest frame into `stream`; false when there is none.
bool take(Stream& stream) {
    int64_t info[VLX_FRAME_INFO_COUNT];
    int32_t size = static_cast<int32_t>(stream.pixels.size());
    if (frame_events().GetFrame(stream.pixels.data(), &size, &stream.header, info) != 0) return false;
    const uint32_t picture = vlx_test::frame_number(stream.pixels.data(), stream.header.bmiHeader.biWidth,
                                                    stream.header.bmiHeader.biHeight);
    const int64_t dropped = std::max<int64_t>(info[VLX_FRAME_DROPPED], 0);
    if (!stream.seen) {
        stream.seen = true;
        stream.first_picture = picture;
        stream.first_number = info[VLX_FRAME_NUMBER];
        stream.first_dropped = dropped;
    } else {
        ++stream.taken;
    }
    stream.last_picture = picture;
    stream.last_number = info[VLX_FRAME_NUMBER];
    stream.last_dropped = dropped;
    return true;
}

// Opens every stream's slot on its device at `mode`, with notifications to
// `window`, and takes a first frame from each; false when one fails.
bool open_streams(std::vector<Stream>& streams, const std::vector<int32_t>& devices, const Mode& mode, HWND window) {
    const vlx_test::Vidlox& v = vidlox();
    for (size_t i = 0; i < streams.size(); ++i) {
        Stream& stream = streams[i];
        v.SetActiveSel(stream.slot);
        v.SetDevWidth(mode.width);
        v.SetDevHeight(mode.height);
        v.SetDevFrameRate(mode.fps);
        if (v.Open(devices[i], 6, 0, 0, 0) != 0 || v.Play2() < 0) return false;
        if (v.GetImageMemSize(0) != static_cast<int32_t>(mode.frame_bytes())) {
            std::printf("  slot %d: the camera connected another size than %dx%d\n", stream.slot, mode.width,
                        mode.height);
            return false;
        }
        stream.pixels.resize(mode.frame_bytes());
        if (frame_events().SetFrameNotify(window, kNewFrame) != 0) return false;
    }
    for (Stream& stream : streams) {
        v.SetActiveSel(stream.slot);
        // The slow-start device sends its first frame 2 s after the start.
        if (frame_events().WaitFrame(10000) != 0 || !take(stream)) return false;
    }
    return true;
}

// Counting starts from each stream's next frame, once every stream runs.
bool restart_counts(std::vector<Stream>& streams) {
    for (Stream& stream : streams) {
        stream.seen = false;
        stream.taken = 0;
        vidlox().SetActiveSel(stream.slot);
        if (frame_events().WaitFrame(2000) != 0 || !take(stream)) return false;
    }
    return true;
}

void take_announced(std::vector<Stream>& streams, double seconds) {
    const double start = vlx_bench::now_seconds();
    for (double left = seconds; left > 0; left = seconds - (vlx_bench::now_seconds() - start)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1e3), QS_ALLPOSTMESSAGE);
        MSG message;
        while (PeekMessageW(&message, nullptr, kNewFrame, kNewFrame, PM_REMOVE)) {
            const auto slot = static_cast<int32_t>(message.wParam);
            vidlox().SetActiveSel(slot);
            if (frame_events().WaitFrame(0) != 0) continue;  // taken already with a later one
            for (Stream& stream : streams)
                if (stream.slot == slot) take(stream);
        }
    }
}

Figures measure(const Mode& mode, int slots, const std::vector<int32_t>& devices, double seconds) {
    std::vector<Stream> streams(static_cast<size_t>(slots));
    for (int i = 0; i < slots; ++i) streams[static_cast<size_t>(i)].slot = i;
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Figures figures;
    if (open_streams(streams, devices, mode, window)) {
        // Every stream's count lies inside the measured time: it starts
        // with a frame taken after the clocks start.
        const double cpu = vlx_bench::process_cpu_seconds(), wall = vlx_bench::now_seconds();
        if (!restart_counts(streams)) std::printf("  a stream stopped\n");
        take_announced(streams, seconds);
        figures.cpu = vlx_bench::process_cpu_seconds() - cpu;
        figures.wall = vlx_bench::now_seconds() - wall;
        figures.ran = true;
        for (const Stream& stream : streams) {
            const int64_t due = int64_t{stream.last_picture} - stream.first_picture;
            figures.due += due;
            figures.sent += due - (stream.last_dropped - stream.first_dropped);
            figures.received += stream.last_number - stream.first_number;
            figures.taken += stream.taken;
        }
    } else {
        std::printf("  cannot open %d slot(s) at %dx%d@%d\n", slots, mode.width, mode.height, mode.fps);
    }
    vlx_test::close_every_slot();
    DestroyWindow(window);
    return figures;
}

// CPU seconds per megapixel received.
double cpu_per_megapixel(const Figures& f, const Mode& mode) {
    return f.received ? f.cpu / (static_cast<double>(f.received) * mode.megapixels()) : 0;
}

// Seconds the test camera takes to paint one RGB24 frame of `mode`.
double paint_seconds(const Mode& mode) {
    vlxcam::FramePainter painter;
    painter.configure({mode.width, mode.height, 10000000 / mode.fps});
    std::vector<uint8_t> frame(mode.frame_bytes());
    painter.paint(frame.data(), 0);  // fault the pages in first
    const int repetitions = std::max(4, static_cast<int>(200 / mode.megapixels()));
    const double start = vlx_bench::now_seconds();
    for (int i = 0; i < repetitions; ++i) painter.paint(frame.data(), static_cast<uint32_t>(i));
    return (vlx_bench::now_seconds() - start) / repetitions;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    // A mode such as 3840x2160@30 runs that mode alone, for a profiler.
    const std::string only = argc > 2 ? argv[2] : "";
    if (vidlox().Init() < 0) return 1;
    const std::vector<int32_t> devices = streaming_devices();
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    std::printf("RGB24 from the test camera, %.0f s per case, %zu streaming devices, %lu cores, %.1f GB free\n",
                seconds, devices.size(), system.dwNumberOfProcessors,
                static_cast<double>(memory.ullAvailPhys) / 1e9);
    std::printf("%-16s %5s %9s %9s %9s %10s %10s %8s\n", "mode", "slots", "sent/due", "recv/sent", "MP/s",
                "CPU(core)", "ms CPU/MP", "vs first");

    struct Row {
        Mode mode;
        Figures figures;
    };
    std::vector<Row> rows;
    double baseline = 0;
    for (const Mode& mode : kModes) {
        for (int slots : kSlotCounts) {
            char label[32];
            std::snprintf(label, sizeof label, "%dx%d@%d", mode.width, mode.height, mode.fps);
            if (!only.empty() && only != label) continue;
            // Each slot holds the camera's four buffers, the grabber's and
            // the library's copies and the host's: eight frames, with room.
            const double needed = 10.0 * static_cast<double>(mode.frame_bytes()) * slots;
            if (slots > static_cast<int>(devices.size()) || needed > static_cast<double>(memory.ullAvailPhys) / 2) {
                std::printf("%-16s %5d   not run: %s\n", label, slots,
                            slots > static_cast<int>(devices.size()) ? "too few devices" : "too little memory");
                continue;
            }
            if (!rows.empty() && rows.back().mode.width == mode.width && rows.back().mode.fps == mode.fps) {
                const Figures& previous = rows.back().figures;
                if (!previous.ran || previous.sent_per_due() < kKeptUp || previous.received_per_sent() < kKeptUp) {
                    std::printf("%-16s %5d   not run: %d slot(s) already fell short\n", label, slots, slots / 2);
                    continue;
                }
            }
            const Figures f = measure(mode, slots, devices, seconds);
            rows.push_back({mode, f});
            if (!f.ran) continue;
            const double per_mp = cpu_per_megapixel(f, mode);
            if (baseline == 0) baseline = per_mp;
            std::printf("%-16s %5d %9.3f %9.3f %9.1f %10.2f %10.2f %7.2fx\n", label, slots, f.sent_per_due(),
                        f.received_per_sent(), static_cast<double>(f.received) * mode.megapixels() / f.wall,
                        f.cpu / f.wall, per_mp * 1e3, baseline > 0 ? per_mp / baseline : 0.0);
            std::fflush(stdout);
        }
    }

    std::printf("\nWhere the time goes, per frame (ms): the camera's painting, one memcpy of the frame, and\n"
                "the whole process's CPU per frame received in the 1-slot case (painting, the grabber's\n"
                "copy, the library's, the host's, and the graph's work)\n");
    std::printf("%-16s %9s %9s %9s %14s\n", "mode", "paint", "memcpy", "process", "process-paint");
    for (const Row& row : rows) {
        if (!row.figures.ran || row.figures.received == 0) continue;
        const bool one_slot = row.figures.due > 0 && &row == &*std::find_if(rows.begin(), rows.end(), [&](const Row& r) {
            return r.mode.width == row.mode.width && r.mode.fps == row.mode.fps;
        });
        if (!one_slot) continue;
        const double paint = paint_seconds(row.mode);
        const double copy = vlx_bench::memcpy_seconds(row.mode.frame_bytes(), 20);
        const double process = row.figures.cpu / static_cast<double>(row.figures.received);
        std::printf("%dx%d@%-7d %9.2f %9.2f %9.2f %14.2f\n", row.mode.width, row.mode.height, row.mode.fps,
                    paint * 1e3, copy * 1e3, process * 1e3, (process - paint) * 1e3);
    }
    vidlox().Exit();
    return 0;
}
