// What a host gets from the webcam device when it asks for 1280x720 and
// 1920x1080 at 30 fps: the frames the Sample Grabber really receives per
// second, with the requested format offered to every capability in turn
// (choice 0, the baseline: YUY2 refuses 30 fps at those sizes and the
// default format stays) and with the one exact capability chosen (choice 1,
// MJPG at the size and rate asked for), in one run. Counted in the
// grabber's own callback, so the host's polling costs nothing.
#include "bench_support.h"
#include "library/library_state.h"
#include "vidlox.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class SampleCounter final : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISampleGrabberCB)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    // Lives for the whole program.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override {
        ++samples;
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    std::atomic<long> samples{0};
};

int32_t webcam_index() {
    char names[16384] = "";
    if (vlx_GetDeviceList(names, 0) < 0) return -1;
    const std::string wanted = "vidlox Test Camera (webcam)";
    int32_t index = 0;
    for (const char* line = names; *line; ++index) {
        const char* end = std::strstr(line, "\r\n");
        if (!end) break;
        if (std::string(line, end) == wanted) return index;
        line = end + 2;
    }
    return -1;
}

struct Run {
    int32_t opened = 0;
    std::string format = "-";
    double pixels = 0;  // per frame, of the format in force
    double fps = 0;
};

Run measure(int32_t webcam, int32_t width, int32_t height, int32_t choice, double seconds, SampleCounter& counter) {
    Run run;
    vlx_SetDevWidth(width);
    vlx_SetDevHeight(height);
    vlx_SetDevFrameRate(30.0);
    vlx_SetDevFormatChoice(choice);
    run.opened = vlx_Open(webcam, 6, 0, 0, 0);
    if (run.opened < 0) return run;
    char subtype[VLX_SUBTYPE_TEXT_SIZE] = "";
    int32_t in_width = 0, in_height = 0;
    double rate = 0;
    if (vlx_GetDevFormat(subtype, &in_width, &in_height, &rate) == 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%s %dx%d@%.0f", subtype, int(in_width), int(in_height), rate);
        run.format = text;
        run.pixels = static_cast<double>(in_width) * in_height;
    }
    vlx::active_slot().sample_grabber->SetCallback(&counter, 0);
    counter.samples = 0;
    vlx_Play2();
    const double deadline = vlx_bench::now_seconds() + 5;
    while (counter.samples == 0 && vlx_bench::now_seconds() < deadline) Sleep(10);  // start-up is not measured
    const long before = counter.samples;
    const double start = vlx_bench::now_seconds();
    Sleep(static_cast<DWORD>(seconds * 1000));
    run.fps = static_cast<double>(counter.samples - before) / (vlx_bench::now_seconds() - start);
    vlx_Stop();
    vlx::active_slot().sample_grabber->SetCallback(nullptr, 0);
    vlx_Close();
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    vlx_Init();
    const int32_t webcam = webcam_index();
    if (webcam < 0) {
        std::puts("the webcam test device is not registered");
        return 1;
    }
    SampleCounter counter;
    std::printf("webcam device, 30 fps asked for, %.1f s each: frames the grabber receives\n", seconds);
    std::printf("%-10s %-7s %-5s %-20s %9s %10s %11s %10s\n", "asked", "choice", "open", "format in force", "grabber",
                "x choice 0", "Mpixel/s", "x choice 0");
    int status = 0;
    const struct {
        int32_t width, height;
    } sizes[] = {{1280, 720}, {1920, 1080}};
    for (const auto& size : sizes) {
        double baseline = 0, baseline_pixels = 0;
        for (const int32_t choice : {VLX_FORMAT_CHOICE_ALL, VLX_FORMAT_CHOICE_EXACT}) {
            const Run run = measure(webcam, size.width, size.height, choice, seconds, counter);
            if (run.opened < 0 || run.fps <= 0) status = 1;
            const double pixel_rate = run.fps * run.pixels / 1e6;
            if (choice == VLX_FORMAT_CHOICE_ALL) {
                baseline = run.fps;
                baseline_pixels = pixel_rate;
            }
            char asked[16];
            std::snprintf(asked, sizeof asked, "%dx%d", int(size.width), int(size.height));
            std::printf("%-10s %-7s %-5d %-20s %5.1f fps %9.2fx %11.1f %9.2fx\n", asked, choice ? "exact" : "all",
                        int(run.opened), run.format.c_str(), run.fps, baseline > 0 ? run.fps / baseline : 0.0,
                        pixel_rate, baseline_pixels > 0 ? pixel_rate / baseline_pixels : 0.0);
        }
    }
    vlx_SetDevFormatChoice(VLX_FORMAT_CHOICE_ALL);
    vlx_Exit();
    return status;
}
