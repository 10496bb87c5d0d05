// One recording for bench/av_sync_bench.py: the test camera (and, unless
// --no-audio, the test microphone) into FILE through vlx_Open mode 300 for
// SECONDS at WIDTHxHEIGHT, 30 fps, as a host records. While it records it
// takes every audio block (vlx_WaitAudio, vlx_GetAudio) and checks that each
// starts where the one before ended. Prints one line the driver reads:
//     cpu S blocks N missed M gaps G
// (the process's CPU seconds over the recording, blocks taken, blocks the
// library let go, and blocks that did not follow on from the one before).
//
//     av_sync_bench.exe FILE SECONDS WIDTH HEIGHT [--ppm N] [--no-audio] [--free-clocks] [--mode M]
//
// --ppm: the microphone's clock error (vlxcam_SetClockError). --mode: another
// render mode than 300 (6: no file, the sound to the host only). --free-clocks:
// the same two devices recorded by a graph built here without any of the
// library's sync calls (the system clock for the graph, no master stream):
// what a file on two free clocks does.
#include "bench_support.h"

#include <vidlox.h>
#include <vidlox_testcam.h>

#include <dshow.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int32_t microphone_index() {
    const int32_t size = vlx_GetDeviceListSize(1);
    if (size <= 0) return -1;
    std::string text(static_cast<size_t>(size), '\0');
    if (vlx_GetDeviceList(text.data(), 1) < 0) return -1;
    const std::string wanted = "vidlox Test Microphone\r\n";
    int32_t index = 0;
    for (size_t at = 0; at < text.size() && text[at];) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) break;
        if (text.compare(at, end + 2 - at, wanted) == 0) return index;
        at = end + 2;
        ++index;
    }
    return -1;
}

// The device of category `category` named `name`, bound.
IBaseFilter* bind(const GUID& category, const wchar_t* name) {
    ICreateDevEnum* devices = nullptr;
    IEnumMoniker* monikers = nullptr;
    IBaseFilter* found = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices))))
        return nullptr;
    if (devices->CreateClassEnumerator(category, &monikers, 0) == S_OK) {
        IMoniker* moniker = nullptr;
        while (!found && monikers->Next(1, &moniker, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            VARIANT value;
            VariantInit(&value);
            if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag))) &&
                SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.bstrVal &&
                std::wcscmp(value.bstrVal, name) == 0)
                moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&found));
            VariantClear(&value);
            if (bag) bag->Release();
            moniker->Release();
        }
        monikers->Release();
    }
    devices->Release();
    return found;
}

// Two free clocks: camera and microphone into the AVI mux, the graph on the
// system clock, nothing else asked. Answers the CPU seconds, or -1.
double record_free_clocks(const std::wstring& file, double seconds, int width, int height) {
    CoInitialize(nullptr);
    IGraphBuilder* graph = nullptr;
    ICaptureGraphBuilder2* builder = nullptr;
    IBaseFilter* mux = nullptr;
    IMediaControl* control = nullptr;
    IMediaFilter* timing = nullptr;
    IReferenceClock* system = nullptr;
    IAMStreamConfig* config = nullptr;
    double cpu = -1;
    IBaseFilter* camera = bind(CLSID_VideoInputDeviceCategory, VLXCAM_NAME_MAIN);
    IBaseFilter* microphone = bind(CLSID_AudioInputDeviceCategory, VLXCAM_NAME_MICROPHONE);
    if (camera && microphone &&
        SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph))) &&
        SUCCEEDED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                   reinterpret_cast<void**>(&builder))) &&
        SUCCEEDED(builder->SetFiltergraph(graph)) && SUCCEEDED(graph->AddFilter(camera, L"Camera")) &&
        SUCCEEDED(graph->AddFilter(microphone, L"Microphone")) &&
        SUCCEEDED(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, IID_IAMStreamConfig,
                                         reinterpret_cast<void**>(&config)))) {
        AM_MEDIA_TYPE* type = nullptr;
        if (SUCCEEDED(config->GetFormat(&type))) {
            auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
            info->bmiHeader.biWidth = width;
            info->bmiHeader.biHeight = height;
            info->bmiHeader.biSizeImage = static_cast<DWORD>(width * 3 * height);
            type->lSampleSize = info->bmiHeader.biSizeImage;
            config->SetFormat(type);
            CoTaskMemFree(type->pbFormat);
            CoTaskMemFree(type);
        }
        if (SUCCEEDED(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file.c_str(), &mux, nullptr)) &&
            SUCCEEDED(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, nullptr, mux)) &&
            SUCCEEDED(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, microphone, nullptr, mux)) &&
            SUCCEEDED(graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&timing))) &&
            SUCCEEDED(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                       reinterpret_cast<void**>(&system))) &&
            SUCCEEDED(timing->SetSyncSource(system)) &&
            SUCCEEDED(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)))) {
            const double before = vlx_bench::process_cpu_seconds();
            control->Run();
            Sleep(static_cast<DWORD>(seconds * 1000));
            cpu = vlx_bench::process_cpu_seconds() - before;
            control->Stop();
        }
    }
    for (IUnknown* object : {static_cast<IUnknown*>(config), static_cast<IUnknown*>(control),
                             static_cast<IUnknown*>(timing), static_cast<IUnknown*>(system),
                             static_cast<IUnknown*>(mux), static_cast<IUnknown*>(camera),
                             static_cast<IUnknown*>(microphone), static_cast<IUnknown*>(builder),
                             static_cast<IUnknown*>(graph)}) {
        if (object) object->Release();
    }
    CoUninitialize();
    return cpu;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: av_sync_bench FILE SECONDS WIDTH HEIGHT [--ppm N] [--no-audio] [--free-clocks]\n");
        return 2;
    }
    const std::string name = argv[1];
    const std::wstring file(name.begin(), name.end());
    const double seconds = std::atof(argv[2]);
    const int width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    int ppm = 0, mode = 300;
    bool audio = true, free_clocks = false;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ppm") == 0 && i + 1 < argc) ppm = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--no-audio") == 0) audio = false;
        if (std::strcmp(argv[i], "--free-clocks") == 0) free_clocks = true;
        if (std::strcmp(argv[i], "--mode") == 0 && i + 1 < argc) mode = std::atoi(argv[++i]);
    }
    using SetClockError = int32_t(__cdecl*)(const wchar_t*, int32_t);
    const auto set_clock_error = reinterpret_cast<SetClockError>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"vidlox-testcam64.dll"), "vlxcam_SetClockError")));
    if (!set_clock_error || set_clock_error(VLXCAM_PATH_MICROPHONE, ppm) != 0) {
        std::fprintf(stderr, "the test microphone is not there\n");
        return 1;
    }
    if (free_clocks) {
        const double cpu = record_free_clocks(file, seconds, width, height);
        std::printf("cpu %.3f blocks 0 missed 0 gaps 0\n", cpu);
        return cpu < 0 ? 1 : 0;
    }

    vlx_Init();
    const int32_t camera = vlx_FindDevice("vidlox Test Camera", 0);
    vlx_SetDevWidth(width);
    vlx_SetDevHeight(height);
    vlx_SetDevFrameRate(30.0);
    vlx_SetDevFormatChoice(VLX_FORMAT_CHOICE_EXACT);
    if (audio && vlx_SetAudioDevice(microphone_index()) != 0) return 1;
    const int32_t opened = vlx_Open(camera, mode, 0, reinterpret_cast<intptr_t>(file.c_str()), 0);
    if (opened != 0) {
        std::fprintf(stderr, "vlx_Open answered %d\n", opened);
        return 1;
    }
    std::vector<uint8_t> pcm(1 << 20);
    int64_t info[VLX_AUDIO_INFO_COUNT];
    int64_t blocks = 0, missed = 0, gaps = 0, expected_start = -1;
    const double before = vlx_bench::process_cpu_seconds();
    const double start = vlx_bench::now_seconds();
    vlx_Play2();
    while (vlx_bench::now_seconds() - start < seconds) {
        if (!audio) {
            Sleep(50);
            continue;
        }
        if (vlx_WaitAudio(100) != 0) continue;
        int32_t size = static_cast<int32_t>(pcm.size());
        if (vlx_GetAudio(pcm.data(), &size, info) != 0) continue;
        ++blocks;
        missed += info[VLX_AUDIO_MISSED];
        int32_t rate = 0, channels = 0, bits = 0;
        vlx_GetAudioFormat(&rate, &channels, &bits);
        const int64_t frames = size / (channels * bits / 8);
        // Stamps are whole 100 ns units: one may round a unit off.
        if (expected_start >= 0 && std::llabs(info[VLX_AUDIO_SAMPLE_TIME] - expected_start) > 1) ++gaps;
        expected_start = info[VLX_AUDIO_SAMPLE_TIME] + frames * 10000000 / rate;
    }
    const double cpu = vlx_bench::process_cpu_seconds() - before;
    vlx_Stop();
    vlx_Close();
    vlx_SetAudioDevice(-1);
    vlx_Exit();
    set_clock_error(VLXCAM_PATH_MICROPHONE, 0);
    std::printf("cpu %.3f blocks %lld missed %lld gaps %lld\n", cpu, static_cast<long long>(blocks),
                static_cast<long long>(missed), static_cast<long long>(gaps));
    return 0;
}
