// CPU cost of the test camera delivering 1920x1080 RGB24 at 30 fps for ten
// seconds into a Sample Grabber and a Null Renderer.
#include "bench_support.h"
#include "support/camera_graph.h"
#include "vidlox_testcam.h"

#include <cstdio>

using vlx_test::CameraGraph;
using vlx_test::FrameRecorder;

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    CoInitialize(nullptr);
    int status = 1;
    {
        FrameRecorder recorder;
        CameraGraph g;
        if (FAILED(g.build(vlx_test::bind_device(VLXCAM_NAME_MAIN), recorder, &vlx_test::choose_full_hd))) {
            std::fprintf(stderr, "cannot build the graph (is the test camera registered?)\n");
        } else {
            g.grabber->SetBufferSamples(FALSE);  // the callback alone reads each frame
            const double frame_copy = vlx_bench::memcpy_seconds(1920 * 3 * 1080, 200);
            const double cpu_before = vlx_bench::process_cpu_seconds();
            const double wall_before = vlx_bench::now_seconds();
            g.control->Run();
            Sleep(static_cast<DWORD>(seconds * 1000));
            g.control->Stop();
            const double cpu = vlx_bench::process_cpu_seconds() - cpu_before;
            const double wall = vlx_bench::now_seconds() - wall_before;

            const auto numbers = recorder.frame_numbers();
            const size_t frames = numbers.size();
            size_t dropped = 0;
            for (size_t i = 1; i < frames; ++i) dropped += numbers[i] - numbers[i - 1] - 1;
            const double per_frame = frames ? cpu / static_cast<double>(frames) : 0.0;
            std::printf("camera 1920x1080 RGB24 @ 30 fps for %.1f s\n", wall);
            std::printf("  delivered frames      %zu (%.2f fps), dropped %zu\n", frames,
                        static_cast<double>(frames) / wall, dropped);
            std::printf("  process CPU           %.3f s = %.1f%% of one core\n", cpu, 100.0 * cpu / wall);
            std::printf("  CPU per frame         %.3f ms = %.1f x one 6.2 MB memcpy (%.3f ms)\n", per_frame * 1e3,
                        per_frame / frame_copy, frame_copy * 1e3);
            std::printf("  frame check           %s\n",
                        recorder.first_problem().empty() ? "ok" : recorder.first_problem().c_str());
            status = 0;
        }
    }
    CoUninitialize();
    return status;
}
