// encode DEVICE FILE [--codec N] [--seconds S] [--fps F]: frames grabbed with
// vlx_GetImageMem go unchanged into vlx_WriteEncoder, paced by the clock.
#include "capture_session.h"
#include "commands.h"
#include "format_option.h"
#include "progress.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tool {

namespace {

constexpr int default_codec = 2;  // H.264 main
constexpr double default_seconds = 5.0;
constexpr double default_fps = 30.0;
// About a tenth of a bit per pixel: a plain default for a preview-quality file.
constexpr double bits_per_pixel_per_frame = 0.1;

// One encoder id with Media Foundation started for it; deleting the id
// finalizes a file still open.
class Encoder {
public:
    int start() {
        const int32_t started = vlx_InitEncoder();
        if (started < 0) return library_failure("vlx_InitEncoder", started);
        started_ = true;
        id_ = vlx_CreateEncoder();
        if (id_ < 0) return library_failure("vlx_CreateEncoder", id_);
        return exit_ok;
    }
    int32_t id() const { return id_; }
    int close() {
        const int32_t closed = vlx_CloseEncoder(id_);
        return closed < 0 ? library_failure("vlx_CloseEncoder", closed) : exit_ok;
    }
    ~Encoder() {
        if (id_ >= 0) vlx_DeleteEncoder(id_);
        if (started_) vlx_UnInitEncoder();
    }

private:
    bool started_ = false;
    int32_t id_ = -1;
};

}  // namespace

int encode_command(const CommandLine& line) {
    int codec = default_codec;
    double seconds = default_seconds;
    double fps = default_fps;
    if (!option_int(line, "--codec", codec) || !option_double(line, "--seconds", seconds) ||
        !option_double(line, "--fps", fps))
        return exit_usage;
    const std::wstring file = utf16(line.positional[1]);

    if (int wrong = request_format_option(line)) return wrong;
    CaptureSession session;
    if (int failed = open_with_format(session, line, render_null_renderer)) return failed;
    if (int failed = session.run()) return failed;
    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
    if (int failed = session.grab(pixels, header)) return failed;
    const int32_t width = header.bmiHeader.biWidth;
    const int32_t height = std::abs(header.bmiHeader.biHeight);
    // The sink writer takes RGB rows bottom-up, as Media Foundation reads RGB
    // without a default stride: a grabbed DIB goes as it is, and only a
    // top-down frame (negative biHeight) needs its rows reversed.
    const int32_t flip = header.bmiHeader.biHeight < 0 ? 1 : 0;

    Encoder encoder;
    if (int failed = encoder.start()) return failed;
    const double bit_rate = std::fmin(bits_per_pixel_per_frame * width * height * fps, INT32_MAX);
    const int32_t opened = vlx_OpenEncoder(encoder.id(), file.c_str(), codec, width, height, 24, fps,
                                           static_cast<int32_t>(bit_rate));
    if (opened < 0) return library_failure("vlx_OpenEncoder", opened);

    const int64_t total = std::max<int64_t>(1, std::llround(seconds * fps));
    Progress progress("encode");
    DropCounter drops;
    bool numbered = false;
    for (int64_t frame = 0; frame < total; ++frame) {
        const double due = static_cast<double>(frame) / fps;
        const double wait = due - progress.elapsed_seconds();
        if (wait > 0) Sleep(static_cast<DWORD>(wait * 1000.0));
        if (frame > 0) {
            // A lost or stalled camera would fill the file with its last frame.
            if (int failed = session.healthy()) return failed;
            if (int failed = session.grab(pixels, header)) return failed;
        }
        uint32_t number = 0;
        if (session.frame_number(pixels, header, number)) {
            numbered = true;
            drops.saw(number);
        }
        const int32_t written = vlx_WriteEncoder(encoder.id(), pixels.data(), flip);
        if (written < 0) return library_failure("vlx_WriteEncoder", written);
        progress.show(frame + 1, numbered ? drops.dropped() : -1);
    }
    progress.finish(total, numbered ? drops.dropped() : -1);
    if (int failed = encoder.close()) return failed;
    if (int failed = session.stop()) return failed;
    std::printf("wrote %s: %lld frames of %dx%d at %g fps, codec %d\n", line.positional[1].c_str(),
                static_cast<long long>(total), width, height, fps, codec);
    return exit_ok;
}

}  // namespace tool
