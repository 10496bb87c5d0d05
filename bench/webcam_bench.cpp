// What a host pays for a webcam format: for YUY2, NV12 and MJPG at 1280x720
// and 1920x1080 (30 fps asked for), the frame rate the RGB24 Sample Grabber
// really receives through the decoder and the process CPU per frame, next to
// the RGB24 camera at the same size in the same run. The camera alone (its
// own format straight into the grabber, no decoder) is measured too, so the
// decoder's share shows: the test camera paints and, for MJPG, JPEG-encodes
// in software what a real camera does in hardware.
#include "bench_support.h"
#include "common/media_type.h"
#include "support/camera_graph.h"
#include "vidlox_testcam.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using vlx_test::CameraGraph;
using vlx_test::FrameRecorder;

namespace {

// The capability of this size, at 30 fps.
template <LONG Width, LONG Height>
HRESULT choose_size(IAMStreamConfig* config) {
    int count = 0, size = 0;
    if (FAILED(config->GetNumberOfCapabilities(&count, &size))) return E_FAIL;
    for (int i = 0; i < count; ++i) {
        vlx::MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps;
        if (config->GetStreamCaps(i, type.put(), reinterpret_cast<BYTE*>(&caps)) != S_OK ||
            !IsEqualGUID(type->formattype, FORMAT_VideoInfo)) {
            continue;
        }
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
        if (vih->bmiHeader.biWidth != Width || vih->bmiHeader.biHeight != Height) continue;
        vih->AvgTimePerFrame = 333333;
        return config->SetFormat(type.get());
    }
    return E_FAIL;
}

struct Result {
    bool ok = false;
    double fps = 0, cpu_per_frame = 0;
    std::string problem;
};

Result measure(const wchar_t* device, HRESULT (*configure)(IAMStreamConfig*), const GUID& grabber_subtype,
               int tolerance, double seconds) {
    Result result;
    FrameRecorder recorder;
    recorder.set_tolerance(tolerance);
    CameraGraph g;
    if (FAILED(g.build(vlx_test::bind_device(device), recorder, configure, grabber_subtype))) return result;
    g.grabber->SetBufferSamples(FALSE);  // the callback alone reads each frame
    g.control->Run();
    recorder.wait_for_frames(1, 5000);  // start-up is not measured
    const size_t frames_before = recorder.frame_count();
    const double cpu_before = vlx_bench::process_cpu_seconds();
    const double wall_before = vlx_bench::now_seconds();
    Sleep(static_cast<DWORD>(seconds * 1000));
    const size_t frames = recorder.frame_count() - frames_before;
    const double cpu = vlx_bench::process_cpu_seconds() - cpu_before;
    const double wall = vlx_bench::now_seconds() - wall_before;
    g.control->Stop();
    result.ok = frames > 0;
    result.fps = static_cast<double>(frames) / wall;
    result.cpu_per_frame = frames ? cpu / static_cast<double>(frames) : 0;
    if (IsEqualGUID(grabber_subtype, MEDIASUBTYPE_RGB24)) {
        result.problem = recorder.first_problem();
        if (result.problem.empty()) result.problem = "ok";
    }
    return result;
}

struct Format {
    const char* label;
    const wchar_t* device;
    int tolerance;
};

constexpr Format kFormats[] = {
    {"RGB24", VLXCAM_NAME_MAIN, 0},
    {"YUY2", VLXCAM_NAME_YUY2, 4},
    {"NV12", VLXCAM_NAME_NV12, 4},
    {"MJPG", VLXCAM_NAME_MJPG, 24},
};

struct Size {
    const char* label;
    HRESULT (*choose)(IAMStreamConfig*);
    size_t frame_bytes;
};

constexpr Size kSizes[] = {
    {"1280x720", &choose_size<1280, 720>, 1280 * 3 * 720},
    {"1920x1080", &choose_size<1920, 1080>, 1920 * 3 * 1080},
};

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    CoInitialize(nullptr);
    std::printf("webcam formats, 30 fps asked for, %.1f s each; CPU is the whole process's\n", seconds);
    std::printf("%-10s %-6s %9s %12s %9s %14s %10s  %s\n", "size", "format", "grabber", "CPU/frame", "x RGB24",
                "camera alone", "x memcpy", "frame check");
    int status = 0;
    for (const Size& size : kSizes) {
        const double copy = vlx_bench::memcpy_seconds(size.frame_bytes, 100);
        double rgb24_cpu = 0;
        for (const Format& format : kFormats) {
            const Result full = measure(format.device, size.choose, MEDIASUBTYPE_RGB24, format.tolerance, seconds);
            if (!full.ok) {
                std::printf("%-10s %-6s cannot build or run the graph (are the camera and codec registered?)\n",
                            size.label, format.label);
                status = 1;
                continue;
            }
            const bool is_rgb24 = format.device == kFormats[0].device;
            if (is_rgb24) rgb24_cpu = full.cpu_per_frame;
            Result alone;
            if (!is_rgb24) alone = measure(format.device, size.choose, GUID_NULL, 0, seconds);
            char alone_text[32] = "-";
            if (alone.ok) std::snprintf(alone_text, sizeof alone_text, "%.2f ms", alone.cpu_per_frame * 1e3);
            std::printf("%-10s %-6s %5.1f fps %9.2f ms %8.2fx %14s %9.1fx  %s\n", size.label, format.label, full.fps,
                        full.cpu_per_frame * 1e3, rgb24_cpu > 0 ? full.cpu_per_frame / rgb24_cpu : 0.0,
                        alone_text, full.cpu_per_frame / copy, full.problem.c_str());
        }
    }
    CoUninitialize();
    return status;
}
