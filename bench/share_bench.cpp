// The shared camera under load: the test camera at 1920x1080 and 30 fps
// published on channel 1 by one process, read by 1, 2 and 4 readers in
// processes of their own (each a host that opens "vidlox Shared Camera 1"
// with vlx_Open and takes every frame with vlx_WaitFrame / vlx_GetFrame),
// S seconds each (default 10), in one run. Baselines of the same run: the
// publisher without sharing, and a reader that opens the test camera itself.
// Figures per configuration:
//   - frames each reader received (taken + missed) per frame published,
//   - the publisher's CPU beside the unshared publisher's (its added CPU),
//   - each reader's CPU beside the plain vlx_Open of the test camera,
//   - latency from a frame's arrival in the publisher (stamped in the
//     channel) to its arrival in the reader's grabber (vlx_GetFrame's
//     arrival), both on the performance counter: the reader finds the frame
//     in the channel's ring by the test camera's painted frame number.
//
//   share_bench [seconds]
// (the same program, started by itself, plays the publisher and readers)
#include "bench_support.h"
#include "dll/host_library.h"
#include "sharecam/share_support.h"
#include "sharecam/transport/channel_mapping.h"
#include "sharecam/transport/header_check.h"
#include "support/frame_check.h"
#include "vidlox_sharecam.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

using vlx_test::share_exports;
using vlx_test::vidlox;

namespace {

constexpr int32_t kChannel = 1;

std::wstring event_name(const wchar_t* what, DWORD owner) {
    return std::wstring(L"Local\\vidlox-share-bench-") + what + L"-" + std::to_wstring(owner);
}

HANDLE open_event(const wchar_t* what, DWORD owner) {
    return OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, event_name(what, owner).c_str());
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

// ---- Roles (child processes) ---------------------------------------------------

int32_t open_device(const wchar_t* name, bool full_hd) {
    const vlx_test::Vidlox& v = vidlox();
    const int32_t device = vlx_test::init_and_find_device(name);
    if (device < 0) return -1;
    if (full_hd) {
        v.SetDevWidth(1920);
        v.SetDevHeight(1080);
        v.SetDevFrameRate(30.0);
    }
    const int32_t opened = v.Open(device, 6, 0, 0, 0);
    if (opened != 0 && opened != 1) return -2;
    return v.Play2() < 0 ? -3 : 0;
}

// The publisher's arrival of the ring frame whose painted number is `number`.
bool publisher_arrival(const vlxshare::transport::ChannelView& view, uint32_t number, int64_t& arrival) {
    vlxshare::transport::ChannelHeader* header = vlxshare::transport::valid_header(view);
    if (!header) return false;
    for (uint32_t i = 0; i < vlxshare::transport::kRingFrames; ++i) {
        const vlxshare::transport::FrameRecord& record = header->frames[i];
        const int64_t before = record.sequence;
        if (before % 2 || !vlxshare::transport::frame_shape_valid(record.format, record.width, record.height, record.stride,
                                                       record.bytes))
            continue;
        const int64_t stamp = record.arrival;
        const uint32_t painted = vlx_test::frame_number(vlxshare::transport::frame_pixels(view, i), record.width, record.height);
        if (record.sequence == before && painted == number) {
            arrival = stamp;
            return true;
        }
    }
    return false;
}

// publisher SHARE OWNER RESULT: runs the test camera at 1080p30, publishes
// on the channel when SHARE is 1, and writes its CPU seconds over the
// measured window.
int publisher_role(bool share, DWORD owner, const wchar_t* result) {
    if (open_device(VLXCAM_NAME_MAIN, true) != 0) return 10;
    if (share && share_exports().ShareSlot(kChannel) != 0) return 11;
    HANDLE ready = open_event(L"ready", GetCurrentProcessId()), start = open_event(L"start", owner),
           stop = open_event(L"stop", owner);
    if (!ready || !start || !stop) return 12;
    SetEvent(ready);
    WaitForSingleObject(start, INFINITE);
    const double cpu_before = vlx_bench::process_cpu_seconds(), wall_before = vlx_bench::now_seconds();
    WaitForSingleObject(stop, INFINITE);
    const double cpu = vlx_bench::process_cpu_seconds() - cpu_before, wall = vlx_bench::now_seconds() - wall_before;
    FILE* out = _wfopen(result, L"w");
    if (!out) return 13;
    std::fprintf(out, "%f %f\n", cpu, wall);
    std::fclose(out);
    vidlox().Close();
    vidlox().Exit();
    return 0;
}

// reader SHARED OWNER RESULT: opens "vidlox Shared Camera 1" (SHARED 1) or
// the test camera at 1080p30 itself (0) and takes every frame; writes frames
// received, CPU seconds, wall seconds and the latencies (shared only).
int reader_role(bool shared, DWORD owner, const wchar_t* result) {
    if (open_device(shared ? VLXSHARE_NAME_1 : VLXCAM_NAME_MAIN, !shared) != 0) return 20;
    vlxshare::transport::ChannelView view;
    if (shared && view.open(kChannel, false) != 0) return 21;
    HANDLE ready = open_event(L"ready", GetCurrentProcessId()), start = open_event(L"start", owner),
           stop = open_event(L"stop", owner);
    if (!ready || !start || !stop) return 22;
    const auto& share = share_exports();
    std::vector<uint8_t> pixels(1920 * 1080 * 3 + 4096);
    BITMAPINFO header{};
    bool measuring = false, signalled = false;
    int64_t received = 0;
    double cpu_before = 0, wall_before = 0;
    std::vector<double> latency_ms;
    for (;;) {
        if (!measuring && WaitForSingleObject(start, 0) == WAIT_OBJECT_0) {
            measuring = true;
            cpu_before = vlx_bench::process_cpu_seconds();
            wall_before = vlx_bench::now_seconds();
        }
        if (measuring && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
        if (share.WaitFrame(100) != 0) continue;
        int32_t size = static_cast<int32_t>(pixels.size());
        int64_t info[VLX_FRAME_INFO_COUNT] = {};
        if (share.GetFrame(pixels.data(), &size, &header, info) != 0) continue;
        if (!signalled) SetEvent(ready);
        signalled = true;
        if (!measuring) continue;
        received += 1 + info[VLX_FRAME_MISSED];
        if (!shared) continue;
        const uint32_t number = vlx_test::frame_number(pixels.data(), header.bmiHeader.biWidth,
                                                       header.bmiHeader.biHeight);
        int64_t published_at = 0;
        if (publisher_arrival(view, number, published_at))
            latency_ms.push_back(static_cast<double>(info[VLX_FRAME_ARRIVAL] - published_at) / 1e4);
    }
    const double cpu = vlx_bench::process_cpu_seconds() - cpu_before, wall = vlx_bench::now_seconds() - wall_before;
    FILE* out = _wfopen(result, L"w");
    if (!out) return 23;
    std::fprintf(out, "%lld %f %f %zu\n", static_cast<long long>(received), cpu, wall, latency_ms.size());
    for (double value : latency_ms) std::fprintf(out, "%f\n", value);
    std::fclose(out);
    vidlox().Close();
    vidlox().Exit();
    return 0;
}

// ---- The run -------------------------------------------------------------------

struct Process {
    PROCESS_INFORMATION info{};
    HANDLE ready = nullptr;
    std::wstring result;
};

Process start_role(const std::wstring& role, int index) {
    Process process;
    wchar_t self[MAX_PATH], temp[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    process.result = std::wstring(temp) + L"share-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(index) + L".txt";
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + role + L" " +
                           std::to_wstring(GetCurrentProcessId()) + L" \"" + process.result + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // The ready event is made before the child can set it: its name carries
    // the child's id, so the child starts suspended.
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process.info))
        return process;
    process.ready = CreateEventW(nullptr, TRUE, FALSE, event_name(L"ready", process.info.dwProcessId).c_str());
    ResumeThread(process.info.hThread);
    return process;
}

bool wait_ready(Process& process) {
    const HANDLE handles[2] = {process.ready, process.info.hProcess};
    return process.ready && WaitForMultipleObjects(2, handles, FALSE, 60000) == WAIT_OBJECT_0;
}

void finish(Process& process) {
    if (WaitForSingleObject(process.info.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.info.hProcess, 9);
    CloseHandle(process.info.hProcess);
    CloseHandle(process.info.hThread);
    if (process.ready) CloseHandle(process.ready);
}

struct ReaderFigures {
    long long received = 0;
    double cpu = 0, wall = 1;
    std::vector<double> latency_ms;
};

ReaderFigures read_reader(const std::wstring& file) {
    ReaderFigures figures;
    FILE* in = _wfopen(file.c_str(), L"r");
    if (!in) return figures;
    size_t count = 0;
    if (std::fscanf(in, "%lld %lf %lf %zu", &figures.received, &figures.cpu, &figures.wall, &count) == 4) {
        figures.latency_ms.resize(count);
        for (double& value : figures.latency_ms)
            if (std::fscanf(in, "%lf", &value) != 1) break;
    }
    std::fclose(in);
    DeleteFileW(file.c_str());
    return figures;
}

double read_publisher(const std::wstring& file, double& wall) {
    FILE* in = _wfopen(file.c_str(), L"r");
    double cpu = 0;
    wall = 1;
    if (in) {
        if (std::fscanf(in, "%lf %lf", &cpu, &wall) != 2) cpu = 0;
        std::fclose(in);
    }
    DeleteFileW(file.c_str());
    return cpu;
}

struct Run {
    double publisher_cpu = 0;  // share of one core
    int64_t published = 0;
    std::vector<ReaderFigures> readers;
};

// One configuration: a publisher (sharing or not) and `readers` readers of
// the shared camera (or, `plain`, one reader of the test camera itself).
Run run(bool share, int readers, bool plain, double seconds) {
    Run result;
    const DWORD me = GetCurrentProcessId();
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, event_name(L"start", me).c_str());
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, event_name(L"stop", me).c_str());
    // The plain baseline runs no publisher: its reader opens the camera.
    std::vector<Process> processes;
    if (!plain) {
        processes.push_back(start_role(share ? L"publisher 1" : L"publisher 0", 0));
        if (!wait_ready(processes[0])) std::fprintf(stderr, "the publisher did not start\n");
    }
    const size_t first_reader = processes.size();
    for (int i = 0; i < readers; ++i) processes.push_back(start_role(plain ? L"reader 0" : L"reader 1", i + 1));
    for (size_t i = first_reader; i < processes.size(); ++i)
        if (!wait_ready(processes[i])) std::fprintf(stderr, "process %zu did not start\n", i);
    Sleep(1000);  // settled
    int64_t info[VLX_SHARE_INFO_COUNT] = {};
    share_exports().GetShareInfo(kChannel, info);
    const int64_t published_before = info[VLX_SHARE_PUBLISHED];
    SetEvent(start);
    Sleep(static_cast<DWORD>(seconds * 1000));
    share_exports().GetShareInfo(kChannel, info);
    result.published = info[VLX_SHARE_PUBLISHED] - published_before;
    SetEvent(stop);
    for (Process& process : processes) finish(process);
    if (!plain) {
        double wall = 1;
        const double cpu = read_publisher(processes[0].result, wall);
        result.publisher_cpu = cpu / wall;
    }
    for (size_t i = first_reader; i < processes.size(); ++i) result.readers.push_back(read_reader(processes[i].result));
    CloseHandle(start);
    CloseHandle(stop);
    return result;
}

int orchestrate(double seconds) {
    vidlox();  // the library, for vlx_GetShareInfo (needs no vlx_Init)
    std::printf("shared camera: test camera 1920x1080 at 30 fps published on channel %d, %.0f s per row\n\n", kChannel,
                seconds);
    const Run unshared = run(false, 0, false, seconds);
    const Run plain = run(false, 1, true, seconds);
    const double plain_reader_cpu = plain.readers.empty() ? 0 : plain.readers[0].cpu / plain.readers[0].wall;
    std::printf("baselines: publisher without sharing %.1f%% of a core; a plain vlx_Open of the test camera "
                "(1080p30, every frame taken) %.1f%%\n\n",
                100 * unshared.publisher_cpu, 100 * plain_reader_cpu);
    std::printf("%-8s %-10s %-28s %-22s %-26s %-20s\n", "readers", "published", "received per published (each)",
                "publisher added CPU", "reader CPU (x plain open)", "latency ms med / p99");
    for (int readers : {1, 2, 4}) {
        const Run shared = run(true, readers, false, seconds);
        std::string per, cpus;
        std::vector<double> latencies;
        for (const ReaderFigures& reader : shared.readers) {
            char text[64];
            std::snprintf(text, sizeof text, "%s%.3f", per.empty() ? "" : " ",
                          shared.published > 0 ? static_cast<double>(reader.received) / static_cast<double>(shared.published) : 0.0);
            per += text;
            const double cpu = reader.cpu / reader.wall;
            std::snprintf(text, sizeof text, "%s%.1f%%(%.2f)", cpus.empty() ? "" : " ", 100 * cpu,
                          plain_reader_cpu > 0 ? cpu / plain_reader_cpu : 0.0);
            cpus += text;
            latencies.insert(latencies.end(), reader.latency_ms.begin(), reader.latency_ms.end());
        }
        char added[48], latency[48];
        std::snprintf(added, sizeof added, "%+.1f%% (%.1f%%)", 100 * (shared.publisher_cpu - unshared.publisher_cpu),
                      100 * shared.publisher_cpu);
        std::snprintf(latency, sizeof latency, "%.2f / %.2f (%zu)", percentile(latencies, 0.5),
                      percentile(latencies, 0.99), latencies.size());
        std::printf("%-8d %-10lld %-28s %-22s %-26s %-20s\n", readers, static_cast<long long>(shared.published),
                    per.c_str(), added, cpus.c_str(), latency);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wcscmp(argv[1], L"publisher") == 0)
        return publisher_role(argv[2][0] == L'1', static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)), argv[4]);
    if (argc == 5 && std::wcscmp(argv[1], L"reader") == 0)
        return reader_role(argv[2][0] == L'1', static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)), argv[4]);
    const double seconds = argc > 1 ? std::wcstod(argv[1], nullptr) : 10.0;
    return orchestrate(seconds > 0 ? seconds : 10.0);
}
