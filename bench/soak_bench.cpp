// Soak: open, play, grab, stop, close cycles per render mode (0 Video
// Renderer, 2 VMR9, 6 Null Renderer), through the library and through a graph
// built by hand that does the same work, in the same run. Every 100 cycles it
// samples the test camera's live objects, the process's handles, threads
// (Toolhelp snapshot) and commit charge (PagefileUsage: Wine leaves
// PrivateUsage 0 and GetProcessHandleCount answers 0). Wine itself leaks 9
// registry handles per device enumeration, one event per graph and, with
// VMR9, a thread and about 5 MB per graph: both sides pay that, so the
// library's growth is judged against the hand-built graph's.
//
//     soak_bench.exe [cycles per mode, default 1000]
#include "dll/host_library.h"
#include "support/camera_graph.h"
#include "vidlox_testcam.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using vlx_test::ComPtr;
using vlx_test::vidlox;

namespace {

struct Sample {
    int32_t live_objects;
    long handles;
    long threads;
    double commit_mb;
};

// Handles open in this process, found by asking about each handle value.
long handle_count() {
    long count = 0, misses = 0;
    for (uintptr_t value = 4; misses < 8192; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            misses = 0;
        } else {
            ++misses;
        }
    }
    return count;
}

long thread_count() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    long count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

Sample sample() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return {vlx_test::camera_live_objects(), handle_count(), thread_count(),
            static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0)};
}

void pump_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

HWND make_owner() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"vidlox soak host";
    RegisterClassW(&window_class);
    return CreateWindowW(L"vidlox soak host", L"soak", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240, nullptr,
                         nullptr, window_class.hInstance, nullptr);
}

int32_t camera_index() {
    const vlx_test::Vidlox& v = vidlox();
    const int32_t size = v.GetDeviceListSize(0);
    if (size <= 0) return -1;
    std::vector<char> text(static_cast<size_t>(size));
    v.GetDeviceList(text.data(), 0);
    const std::string list = text.data();
    int32_t index = 0;
    for (size_t start = 0; start < list.size(); ++index) {
        const size_t end = list.find("\r\n", start);
        if (list.compare(start, end - start, "vidlox Test Camera") == 0 && end - start == 18) return index;
        start = end + 2;
    }
    return -1;
}

// One cycle through the library: open, play in the owner window, wait for
// and grab one frame, stop, close.
bool library_cycle(int32_t camera, int32_t mode, HWND owner, std::vector<uint8_t>& pixels) {
    const vlx_test::Vidlox& v = vidlox();
    if (v.Open(camera, mode, 0, mode == 2 ? 1 /* VMRMode_Windowed */ : 0, 1) < 0) return false;
    bool grabbed = v.Play(static_cast<int32_t>(reinterpret_cast<intptr_t>(owner)), 0, 0, 160, 120) >= 0;
    BITMAPINFO header{};
    for (int tries = 0; grabbed && tries < 500; ++tries) {
        int32_t size = static_cast<int32_t>(pixels.size());
        const int32_t result = v.GetImageMem(pixels.data(), &size, &header);
        if (result == 0) break;
        if (result != -7) grabbed = false;
        pump_messages();
        Sleep(2);
    }
    v.Stop();
    v.Close();
    return grabbed;
}

// The same work by hand: enumerate and bind the device, grabber with the
// RGB24 type, the renderer, the preview stream rendered by the capture graph
// builder, the window placed and shown, buffering on, run, one frame, stop,
// the window hidden and unowned, everything released.
bool hand_built_cycle(int32_t mode, HWND owner, std::vector<uint8_t>& pixels) {
    ComPtr<IBaseFilter> camera = vlx_test::bind_device(VLXCAM_NAME_MAIN);
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> grabber_filter, renderer;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IMediaControl> control;
    ComPtr<IVideoWindow> window;
    AM_MEDIA_TYPE rgb24{};
    rgb24.majortype = MEDIATYPE_Video;
    rgb24.subtype = MEDIASUBTYPE_RGB24;
    rgb24.formattype = FORMAT_VideoInfo;
    const CLSID& renderer_class =
        mode == 0 ? CLSID_VideoRenderer : mode == 2 ? CLSID_VideoMixingRenderer9 : vlx::kClsidNullRenderer;
    if (!camera ||
        FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, graph.put_void())) ||
        FAILED(CoCreateInstance(vlx::kClsidSampleGrabber, nullptr, CLSCTX_INPROC, IID_IBaseFilter,
                                grabber_filter.put_void())) ||
        FAILED(grabber_filter.query(grabber)) || FAILED(grabber->SetMediaType(&rgb24)) ||
        FAILED(graph->AddFilter(grabber_filter.get(), L"Sample Grabber")) ||
        FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC, IID_ICaptureGraphBuilder2,
                                builder.put_void())) ||
        FAILED(builder->SetFiltergraph(graph.get())) || FAILED(graph.query(control)) ||
        FAILED(graph->AddFilter(camera.get(), L"Device Filter")) ||
        FAILED(CoCreateInstance(renderer_class, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.put_void())))
        return false;
    if (mode == 2) {
        ComPtr<IVMRFilterConfig9> config;
        if (FAILED(renderer.query(config)) || FAILED(config->SetRenderingMode(VMR9Mode_Windowed)) ||
            FAILED(config->SetNumberOfStreams(1)))
            return false;
    }
    if (FAILED(graph->AddFilter(renderer.get(), L"Renderer")) ||
        FAILED(builder->RenderStream(&PIN_CATEGORY_PREVIEW, nullptr, camera.get(), grabber_filter.get(),
                                     renderer.get())) ||
        FAILED(graph.query(window)))
        return false;
    window->put_Owner(reinterpret_cast<OAHWND>(owner));
    window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    window->SetWindowPosition(0, 0, 160, 120);
    window->SetWindowForeground(OATRUE);
    window->put_Visible(OATRUE);
    grabber->SetBufferSamples(TRUE);
    bool grabbed = SUCCEEDED(control->Run());
    for (int tries = 0; grabbed && tries < 500; ++tries) {
        long size = static_cast<long>(pixels.size());
        const HRESULT result = grabber->GetCurrentBuffer(&size, reinterpret_cast<long*>(pixels.data()));
        if (result == S_OK) break;
        if (result != VFW_E_WRONG_STATE) grabbed = false;
        pump_messages();
        Sleep(2);
    }
    control->Stop();
    window->put_Visible(OAFALSE);
    window->put_Owner(0);
    return grabbed;
}

void print_sample(const char* who, int cycle, const Sample& s) {
    std::printf("  %-10s %5d  %8d %8ld %8ld %10.1f\n", who, cycle, s.live_objects, s.handles, s.threads, s.commit_mb);
}

struct Growth {
    long handles, threads;
    double commit_mb;
    int failures;
};

Growth soak(const char* who, int cycles, const std::function<bool()>& cycle) {
    const Sample first = sample();
    print_sample(who, 0, first);
    Sample last = first;
    int failures = 0;
    for (int i = 1; i <= cycles; ++i) {
        if (!cycle()) ++failures;
        pump_messages();
        if (i % 100 == 0 || i == cycles) {
            last = sample();
            print_sample(who, i, last);
            if (last.live_objects != 0) std::printf("  ! camera objects alive after cycle %d\n", i);
        }
    }
    return {last.handles - first.handles, last.threads - first.threads, last.commit_mb - first.commit_mb, failures};
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    const vlx_test::Vidlox& v = vidlox();
    if (v.Init() < 0) return 1;
    const int32_t camera = camera_index();
    if (camera < 0) {
        std::fprintf(stderr, "the test camera is not registered\n");
        return 1;
    }
    HWND owner = make_owner();
    std::vector<uint8_t> pixels(640 * 480 * 3);
    bool within = true;
    std::printf("%d cycles per render mode; growth over the cycles (last sample - first)\n", cycles);
    for (int32_t mode : {0, 2, 6}) {
        std::printf("render mode %d            cycle  objects  handles  threads  commit MB\n", mode);
        const Growth ours = soak("vidlox", cycles, [&] { return library_cycle(camera, mode, owner, pixels); });
        const Growth theirs = soak("hand-built", cycles, [&] { return hand_built_cycle(mode, owner, pixels); });
        const bool ok = ours.handles <= theirs.handles && ours.threads <= theirs.threads &&
                        ours.commit_mb <= theirs.commit_mb + 1.0 && ours.failures == 0;
        within = within && ok;
        std::printf("mode %d growth: vidlox handles %+ld threads %+ld commit %+.1f MB (failed cycles %d); "
                    "hand-built handles %+ld threads %+ld commit %+.1f MB (failed cycles %d): %s\n",
                    mode, ours.handles, ours.threads, ours.commit_mb, ours.failures, theirs.handles, theirs.threads,
                    theirs.commit_mb, theirs.failures, ok ? "within the hand-built graph's" : "EXCEEDS it");
        std::fflush(stdout);
    }
    DestroyWindow(owner);
    v.Exit();
    return within ? 0 : 2;
}
