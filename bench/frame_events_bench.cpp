// Every frame once, against the platform floor and against polling. For
// the test camera at 1920x1080 and 30 fps in one slot, and at 1280x720 and
// 30 fps in four slots:
//   (b) a host that waits with vlx_WaitFrame and takes with vlx_GetFrame,
//       slot after slot, and
//   (d) a host that waits with vlx_WaitFrame and borrows each frame with
//       vlx_LockFrame (no copy), reads its picture number, gives it back,
// each in a process of its own, side by side with processes running as many
// graphs built by hand (camera, the Smart Tee the capture graph builder
// puts before a one-pin camera's preview, Sample Grabber, Null Renderer),
// all at once for the seconds given (30 by default), so that whatever else
// runs on the machine weighs on every one alike:
//   floor: the hand-built graphs' grabber callback only counts (what the
//       platform costs for these frames, with no host at all),
//   floor + copy: it copies each frame once, into memory of its own,
//   floor + wait: it sets an event that a thread of its own waits for,
//       frame by frame (the least any host that waits for frames costs).
// Each process counts its own CPU (GetProcessTimes) from a common moment.
// Then, in this process, one after the other for 10 s:
//   (a) a host that polls vlx_GetImageMem at 30 Hz,
//   (c) with several slots, a host that waits for any of them: messages of
//       vlx_SetFrameNotify, then vlx_GetFrame on the slot that announced one.
// Figures: the frames the host took per frame the camera made (the camera's
// picture numbers tell), duplicates, process CPU as a share of one core,
// whether the slots held the grabber's samples or copied them
// (vlx_GetFrameHolding), and the latency from a frame's arrival to the host
// holding its bytes; for polling, which has no arrival time, the schedule
// estimate (the camera makes frame k at k / 30 s after its start, and the
// earliest sighting of any frame stands for no delay).
#include "bench_support.h"
#include "common/com_ptr.h"
#include "common/directshow.h"
#include "common/media_type.h"
#include "dll/frame_event_exports.h"
#include "dll/host_library.h"
#include "support/camera_graph.h"
#include "support/frame_check.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
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
    int32_t holding = -1;  // vlx_GetFrameHolding of the last slot, after the run
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

// The grabber callback of a hand-built graph: it counts and, as its set
// asks, copies the frame or sets an event.
class FloorCallback final : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB) ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives as long as its set
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        frames.fetch_add(1, std::memory_order_relaxed);
        BYTE* bytes = nullptr;
        if (copy && SUCCEEDED(sample->GetPointer(&bytes))) {
            copy->resize(static_cast<size_t>(sample->GetActualDataLength()));
            std::memcpy(copy->data(), bytes, copy->size());
        }
        if (arrived) SetEvent(arrived);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }
    std::atomic<long> frames{0};
    std::vector<uint8_t>* copy = nullptr;  // set: each frame is copied here
    HANDLE arrived = nullptr;              // set: a thread waits for each frame
};

using vlx::ComPtr;

struct FloorGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> camera, grabber_filter, renderer;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IMediaControl> control;
};

// The camera's capability of that size, at 30 fps.
HRESULT choose_format(IAMStreamConfig* config, int32_t width, int32_t height) {
    int count = 0, size = 0;
    HRESULT hr = config->GetNumberOfCapabilities(&count, &size);
    for (int i = 0; SUCCEEDED(hr) && i < count; ++i) {
        vlx::MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps;
        if (config->GetStreamCaps(i, type.put(), reinterpret_cast<BYTE*>(&caps)) != S_OK) continue;
        if (!IsEqualGUID(type->formattype, FORMAT_VideoInfo)) continue;
        auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
        if (info->bmiHeader.biWidth != width || info->bmiHeader.biHeight != height) continue;
        info->AvgTimePerFrame = 333333;
        return config->SetFormat(type.get());
    }
    return E_FAIL;
}

// Camera -> Smart Tee -> Sample Grabber (RGB24, buffering off) -> Null
// Renderer, connected as vlx_Open's render mode 6 connects them.
HRESULT build_floor(FloorGraph& g, int32_t width, int32_t height, FloorCallback& callback) {
    g.camera = vlx_test::bind_device(VLXCAM_NAME_MAIN);
    if (!g.camera) return E_FAIL;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, g.graph.put_void());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                              g.builder.put_void());
    if (SUCCEEDED(hr)) hr = g.builder->SetFiltergraph(g.graph.get());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(vlx::kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              g.grabber_filter.put_void());
    if (SUCCEEDED(hr)) hr = g.grabber_filter.query(g.grabber);
    if (SUCCEEDED(hr)) {
        AM_MEDIA_TYPE wanted{};
        wanted.majortype = MEDIATYPE_Video;
        wanted.subtype = MEDIASUBTYPE_RGB24;
        wanted.formattype = FORMAT_VideoInfo;
        hr = g.grabber->SetMediaType(&wanted);
    }
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(vlx::kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              g.renderer.put_void());
    if (SUCCEEDED(hr)) hr = g.graph->AddFilter(g.camera.get(), L"Device Filter");
    if (SUCCEEDED(hr)) hr = g.graph->AddFilter(g.grabber_filter.get(), L"Sample Grabber");
    if (SUCCEEDED(hr)) hr = g.graph->AddFilter(g.renderer.get(), L"Null Renderer");
    ComPtr<IAMStreamConfig> config;
    if (SUCCEEDED(hr))
        hr = g.builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, g.camera.get(), IID_IAMStreamConfig,
                                      config.put_void());
    if (SUCCEEDED(hr)) hr = choose_format(config.get(), width, height);
    if (SUCCEEDED(hr))
        hr = g.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, g.camera.get(), g.grabber_filter.get(),
                                     g.renderer.get());
    if (SUCCEEDED(hr)) hr = g.grabber->SetBufferSamples(FALSE);
    if (SUCCEEDED(hr)) hr = g.grabber->SetCallback(&callback, 0);
    if (SUCCEEDED(hr)) hr = g.graph.query(g.control);
    return hr;
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

const char* holding_name(int32_t holding) {
    return holding == VLX_FRAMES_HELD ? "samples-held" : holding == VLX_FRAMES_COPIED ? "frames-copied" : "-";
}

void report(const char* name, const Figures& f, const Figures& polling) {
    const double share = f.cpu / f.wall, polling_share = polling.cpu / polling.wall;
    std::printf("  %-34s took %.3f per camera frame (%lld of %lld), %lld duplicates, CPU %.1f%% of a core "
                "(%.2fx polling; %s)\n",
                name, f.camera_frames ? static_cast<double>(f.taken) / static_cast<double>(f.camera_frames) : 0.0,
                static_cast<long long>(f.taken), static_cast<long long>(f.camera_frames),
                static_cast<long long>(f.duplicates), share * 100, share / polling_share, holding_name(f.holding));
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

// Milliseconds since 1970: the moment every process of a comparison counts
// from (and the clock of the Node host's Date.now()).
double unix_ms() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const uint64_t since_1601 = static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    return static_cast<double>(since_1601 - 116444736000000000ull) / 1e4;
}

void wait_until(double start_unix_ms) {
    const double now = unix_ms();
    if (start_unix_ms > now) Sleep(static_cast<DWORD>(start_unix_ms - now));
}

// Runs `host` on `slots` slots for `seconds`, counting from `start_unix_ms`
// (0: from the first frame).
Figures measure(Host host, int32_t camera, int32_t width, int32_t height, int slots, double seconds,
                double start_unix_ms = 0) {
    std::vector<Stream> streams(static_cast<size_t>(slots));
    for (int i = 0; i < slots; ++i) streams[static_cast<size_t>(i)].slot = i;
    Figures figures;
    if (!open_streams(streams, camera, width, height)) {
        std::printf("cannot open %d slots at %dx%d\n", slots, width, height);
    } else {
        wait_until(start_unix_ms);
        const double cpu = vlx_bench::process_cpu_seconds(), wall = vlx_bench::now_seconds();
        host(streams, figures, seconds);
        figures.cpu = vlx_bench::process_cpu_seconds() - cpu;
        figures.wall = vlx_bench::now_seconds() - wall;
        figures.holding = frame_events().GetFrameHolding();
        finish(streams, figures);
    }
    vlx_test::close_every_slot();
    return figures;
}

// `slots` hand-built graphs of one kind for `seconds` from `start_unix_ms`:
// the callback counts ("floor"), copies ("copy") or sets an event that a
// thread waits for frame by frame ("wait").
Figures hand_built(const std::string& kind, int32_t width, int32_t height, int slots, double seconds,
                   double start_unix_ms) {
    std::vector<FloorCallback> callbacks(static_cast<size_t>(slots));
    std::vector<FloorGraph> graphs(static_cast<size_t>(slots));
    std::vector<std::vector<uint8_t>> copies(static_cast<size_t>(slots));
    Figures figures;
    for (size_t i = 0; i < graphs.size(); ++i) {
        if (kind == "copy") callbacks[i].copy = &copies[i];
        if (kind == "wait") callbacks[i].arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (FAILED(build_floor(graphs[i], width, height, callbacks[i]))) {
            std::printf("cannot build the hand-built graphs at %dx%d\n", width, height);
            return figures;
        }
    }
    for (FloorGraph& g : graphs) g.control->Run();
    std::atomic<bool> stop{false};
    std::thread waiter;
    if (kind == "wait") {
        waiter = std::thread([&] {
            while (!stop)
                for (FloorCallback& c : callbacks) WaitForSingleObject(c.arrived, 100);
        });
    }
    wait_until(start_unix_ms);
    const long before = [&] {
        long total = 0;
        for (const FloorCallback& c : callbacks) total += c.frames.load();
        return total;
    }();
    const double cpu = vlx_bench::process_cpu_seconds(), wall = vlx_bench::now_seconds();
    Sleep(static_cast<DWORD>(seconds * 1000));
    figures.cpu = vlx_bench::process_cpu_seconds() - cpu;
    figures.wall = vlx_bench::now_seconds() - wall;
    for (const FloorCallback& c : callbacks) figures.camera_frames += c.frames.load();
    figures.camera_frames -= before;
    figures.taken = figures.camera_frames;
    stop = true;
    if (waiter.joinable()) waiter.join();
    for (FloorGraph& g : graphs) g.control->Stop();
    graphs.clear();
    for (const FloorCallback& c : callbacks)
        if (c.arrived) CloseHandle(c.arrived);
    return figures;
}

double cpu_share(const Figures& f) { return f.wall > 0 ? f.cpu / f.wall : 0; }

// One process of a side-by-side comparison: a kind of hand-built graphs or
// a library host ("take", "borrow"), whose line the parent reads.
int run_set(const std::string& kind, int slots, double seconds, double start_unix_ms) {
    const int32_t width = slots > 1 ? 1280 : 1920, height = slots > 1 ? 720 : 1080;
    const int32_t camera = vlx_test::init_and_find_device(VLXCAM_NAME_MAIN);
    if (camera < 0) return 1;
    const Figures f = kind == "take" || kind == "borrow"
                          ? measure(kind == "take" ? &wait_and_take : &wait_and_borrow, camera, width, height, slots,
                                    seconds, start_unix_ms)
                          : hand_built(kind, width, height, slots, seconds, start_unix_ms);
    std::printf("set %s: cpu %.5f frames %lld of %lld holding %s\n", kind.c_str(), cpu_share(f),
                static_cast<long long>(f.taken), static_cast<long long>(f.camera_frames), holding_name(f.holding));
    vidlox().Exit();
    return 0;
}

struct SetFigures {
    double cpu = 0;  // share of a core
    long long taken = 0, camera_frames = 0;
    std::string holding;
};

// Starts this program once per kind, all at once, each measuring from the
// same moment; what each printed.
std::map<std::string, SetFigures> side_by_side(const std::vector<std::string>& kinds, int slots, double seconds) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const double start = unix_ms() + 8000 + 1000.0 * slots;  // every process has opened its cameras by then
    struct Child {
        std::string kind;
        HANDLE output, process;
        wchar_t path[MAX_PATH];
    };
    std::vector<Child> children(kinds.size());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    for (size_t i = 0; i < kinds.size(); ++i) {
        Child& child = children[i];
        child.kind = kinds[i];
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"feb", 0, child.path);
        child.output = CreateFileW(child.path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        std::wstring command = L"\"" + std::wstring(self) + L"\" --set " +
                               std::wstring(child.kind.begin(), child.kind.end()) + L" " + std::to_wstring(slots) + L" " +
                               std::to_wstring(seconds) + L" " + std::to_wstring(static_cast<long long>(start));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = child.output;
        PROCESS_INFORMATION created{};
        child.process = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                       &created)
                            ? created.hProcess
                            : nullptr;
        if (created.hThread) CloseHandle(created.hThread);
    }
    std::map<std::string, SetFigures> figures;
    for (Child& child : children) {
        if (child.process) {
            WaitForSingleObject(child.process, INFINITE);
            CloseHandle(child.process);
        }
        std::string text(4096, '\0');
        DWORD read = 0;
        SetFilePointer(child.output, 0, nullptr, FILE_BEGIN);
        ReadFile(child.output, text.data(), static_cast<DWORD>(text.size() - 1), &read, nullptr);
        CloseHandle(child.output);
        DeleteFileW(child.path);
        const size_t at = text.find("set " + child.kind + ":");
        SetFigures& f = figures[child.kind];
        char holding[32] = {};
        if (at == std::string::npos ||
            std::sscanf(text.c_str() + at + child.kind.size() + 5, " cpu %lf frames %lld of %lld holding %31s", &f.cpu,
                        &f.taken, &f.camera_frames, holding) < 3)
            std::printf("  the %s process gave no figures: %s\n", child.kind.c_str(), text.c_str());
        f.holding = holding;
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    // "--set KIND SLOTS SECONDS START": one process of a comparison.
    if (argc > 5 && std::string(argv[1]) == "--set")
        return run_set(argv[2], std::atoi(argv[3]), std::atof(argv[4]), std::atof(argv[5]));
    // "--c-host SECONDS START": the C host of bench/node_frames_bench.py,
    // (b) at 1920x1080 in one slot.
    if (argc > 3 && std::string(argv[1]) == "--c-host") return run_set("take", 1, std::atof(argv[2]), std::atof(argv[3]));
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int32_t camera = vlx_test::init_and_find_device(VLXCAM_NAME_MAIN);
    if (camera < 0) return 1;
    struct Case {
        int32_t width, height;
        int slots;
    };
    for (const Case& c : {Case{1920, 1080, 1}, Case{1280, 720, 4}}) {
        std::printf("%dx%d at 30 fps, %d slot%s: five processes side by side, %.0f s, %d rounds:\n", c.width, c.height,
                    c.slots, c.slots > 1 ? "s" : "", seconds, rounds);
        std::vector<double> take_to_copy, take_to_copy_and_wait, borrow_to_floor, borrow_to_wait;
        for (int round = 1; round <= rounds; ++round) {
            auto f = side_by_side({"floor", "copy", "wait", "take", "borrow"}, c.slots, seconds);
            const double floor = f["floor"].cpu, copy = f["copy"].cpu, wait = f["wait"].cpu;
            std::printf("  round %d, CPU in %% of a core: floor %.2f, floor + copy %.2f, floor + wait %.2f, "
                        "(b) GetFrame %.2f, (d) LockFrame %.2f; frames taken per camera frame: (b) %.3f, (d) %.3f "
                        "(%s); the floor counted %lld\n",
                        round, floor * 100, copy * 100, wait * 100, f["take"].cpu * 100, f["borrow"].cpu * 100,
                        static_cast<double>(f["take"].taken) / static_cast<double>(std::max(1LL, f["take"].camera_frames)),
                        static_cast<double>(f["borrow"].taken) / static_cast<double>(std::max(1LL, f["borrow"].camera_frames)),
                        f["borrow"].holding.c_str(), f["floor"].camera_frames);
            take_to_copy.push_back(f["take"].cpu / copy);
            take_to_copy_and_wait.push_back(f["take"].cpu / (copy + wait - floor));
            borrow_to_floor.push_back(f["borrow"].cpu / floor);
            borrow_to_wait.push_back(f["borrow"].cpu / wait);
        }
        std::printf("  median: (b) vlx_WaitFrame + vlx_GetFrame  %.3fx the floor + copy, %.3fx the floor + copy + wait\n",
                    vlx_bench::median(take_to_copy), vlx_bench::median(take_to_copy_and_wait));
        std::printf("  median: (d) vlx_WaitFrame + vlx_LockFrame %.3fx the floor, %.3fx the floor + wait\n",
                    vlx_bench::median(borrow_to_floor), vlx_bench::median(borrow_to_wait));
        const Figures polling = measure(&poll_at_30_hz, camera, c.width, c.height, c.slots, 10.0);
        report("(a) vlx_GetImageMem at 30 Hz, 10 s", polling, polling);
        if (c.slots > 1)
            report("(c) vlx_SetFrameNotify + GetFrame, 10 s",
                   measure(&take_announced, camera, c.width, c.height, c.slots, 10.0), polling);
    }
    vidlox().Exit();
    return 0;
}
