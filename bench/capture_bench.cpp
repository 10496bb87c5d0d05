// vlx_GetImageMem per call against one memcpy of the same bytes, and the
// time from vlx_Open to the first grabbed frame against a minimal graph built
// by hand on the same camera, all in one run.
#include "bench_support.h"
#include "dll/host_library.h"
#include "support/camera_graph.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using vlx_test::vidlox;

namespace {

void grab_cost(int32_t camera, int32_t width, int32_t height, double rate) {
    const vlx_test::Vidlox& v = vidlox();
    v.SetDevWidth(width);
    v.SetDevHeight(height);
    v.SetDevFrameRate(rate);
    if (v.Open(camera, 6, 0, 0, 0) < 0 || v.Play2() < 0) {
        std::printf("cannot open %dx%d\n", width, height);
        return;
    }
    const int32_t bytes = v.GetImageMemSize(0);
    std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
    BITMAPINFO header{};
    int32_t size = bytes;
    while (v.GetImageMem(pixels.data(), &size, &header) == -7) Sleep(1);

    constexpr int kCalls = 300;
    const double start = vlx_bench::now_seconds();
    for (int i = 0; i < kCalls; ++i) {
        size = bytes;
        v.GetImageMem(pixels.data(), &size, &header);
    }
    const double per_call = (vlx_bench::now_seconds() - start) / kCalls;
    const double copy = vlx_bench::memcpy_seconds(static_cast<size_t>(bytes), kCalls);
    std::printf("vlx_GetImageMem %4dx%-4d %8d bytes: %.3f ms per call, memcpy %.3f ms, ratio %.2f\n", width,
                height, bytes, per_call * 1e3, copy * 1e3, per_call / copy);
    v.Close();
    v.SetDevWidth(0);
    v.SetDevHeight(0);
    v.SetDevFrameRate(0.0);
}

double library_open_to_frame(int32_t camera) {
    const vlx_test::Vidlox& v = vidlox();
    int32_t size = 0;
    const double start = vlx_bench::now_seconds();
    v.Open(camera, 6, 0, 0, 0);
    v.Play2();
    BITMAPINFO header{};
    while (v.GetImageMem(nullptr, &size, &header) != 0) Sleep(1);
    const double elapsed = vlx_bench::now_seconds() - start;
    v.Close();
    return elapsed;
}

double hand_built_open_to_frame() {
    vlx_test::FrameRecorder recorder;
    const double start = vlx_bench::now_seconds();
    vlx_test::CameraGraph g;
    g.build(vlx_test::bind_device(VLXCAM_NAME_MAIN), recorder);
    g.grabber->SetBufferSamples(TRUE);
    g.control->Run();
    long size = 0;
    while (g.grabber->GetCurrentBuffer(&size, nullptr) != S_OK) Sleep(1);
    const double elapsed = vlx_bench::now_seconds() - start;
    g.control->Stop();
    return elapsed;
}

}  // namespace

int main() {
    const vlx_test::Vidlox& v = vidlox();
    const int32_t camera = vlx_test::init_and_find_device(VLXCAM_NAME_MAIN);
    if (camera < 0) return 1;
    grab_cost(camera, 640, 480, 30.0);
    grab_cost(camera, 1920, 1080, 30.0);

    std::vector<double> library, hand_built;
    for (int i = 0; i < 15; ++i) {
        library.push_back(library_open_to_frame(camera));
        hand_built.push_back(hand_built_open_to_frame());
    }
    const double ours = vlx_bench::median(library), theirs = vlx_bench::median(hand_built);
    std::printf("open to first frame (median of 15): vlx_Open %.1f ms, hand-built graph %.1f ms, ratio %.2f\n",
                ours * 1e3, theirs * 1e3, ours / theirs);
    v.Exit();
    return 0;
}
