// still DEVICE FILE [--size WxH] [--button] [--seconds S] [--quality Q]: a
// still of the device written to FILE through vlx_SaveStill, in the format
// the file's extension names: from the still pin at WxH (its largest size
// when none is given) on the software trigger, or with --button the first
// still the camera sends when its button is pressed. A device without a
// still pin gives its next capture frame, and has no button.
#include "capture_session.h"
#include "commands.h"
#include "image_formats.h"
#include "lists.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tool {

namespace {

constexpr double trigger_seconds = 10.0;  // a still on request comes at once; a device may be slow
constexpr int32_t wait_slice_ms = 200;

struct StillSize {
    int width = 0;
    int height = 0;
};

// The still size of --size, else the first one of the still pin's list that
// the library can take; none for a device without a still pin.
int choose_still_size(const CommandLine& line, int32_t device, StillSize& size, bool& has_still_pin) {
    const NameList lines = still_format_list(device);
    if (lines.failed_function) return library_failure(lines.failed_function, lines.result);
    has_still_pin = !lines.names.empty();
    if (!option_size(line, "--size", size.width, size.height)) return exit_usage;
    if (size.width > 0) return exit_ok;
    for (const std::string& text : lines.names) {
        std::istringstream fields(text);
        std::string subtype, index, kind;
        fields >> size.width >> size.height >> subtype >> index >> kind;
        if (kind == "VIDEOINFOHEADER") return exit_ok;
    }
    size = {};
    return exit_ok;
}

double milliseconds_since(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int still_command(const CommandLine& line) {
    const std::string& file = line.positional[1];
    const ImageFormat* format = format_of(file);
    if (!format) return unknown_image_format(file);
    const bool button = line.flags.count("--button") != 0;
    double seconds = button ? 0.0 : trigger_seconds;  // 0: the button is waited for without end
    int quality = encoder_default_quality;
    if (!option_double(line, "--seconds", seconds) || !option_int(line, "--quality", quality)) return exit_usage;

    CaptureSession session;
    if (int failed = session.open(line.positional[0], render_null_renderer)) return failed;
    StillSize size;
    bool has_still_pin = false;
    if (int failed = choose_still_size(line, session.index, size, has_still_pin)) return failed;
    if (!has_still_pin && (button || line.values.count("--size")))
        return tool_failure("\"%s\" has no still pin: its stills are capture frames at the capture size, and it has "
                            "no button",
                            session.name.c_str());
    if (has_still_pin) {
        // The still branch joins the graph before it runs.
        const int32_t set = vlx_SetStillSize(size.width, size.height);
        if (set < 0) return library_failure("vlx_SetStillSize", set);
    }
    if (int failed = session.run()) return failed;
    std::vector<uint8_t> pixels;
    BITMAPINFO frame{};
    if (int failed = session.grab(pixels, frame)) return failed;  // the device delivers

    LARGE_INTEGER asked;
    QueryPerformanceCounter(&asked);
    if (button) {
        std::printf("waiting for the camera's button%s\n", seconds > 0 ? "" : " (Ctrl+C ends)");
        std::fflush(stdout);
    } else if (const int32_t fired = vlx_TriggerStill(); fired < 0) {
        return library_failure("vlx_TriggerStill", fired);
    }
    for (;;) {
        const int32_t waited = vlx_WaitStill(wait_slice_ms);
        if (waited == 0) break;
        if (waited < 0) return library_failure("vlx_WaitStill", waited);
        if (int failed = session.healthy()) return failed;
        if (seconds > 0 && milliseconds_since(asked) > seconds * 1000.0)
            return tool_failure("no still came within %g s", seconds);
    }
    const double waited_ms = milliseconds_since(asked);
    int32_t bytes = 0;
    BITMAPINFO header{};
    if (const int32_t sized = vlx_GetStill(nullptr, &bytes, &header, nullptr); sized < 0)
        return library_failure("vlx_GetStill", sized);
    if (const int32_t saved = vlx_SaveStill(utf16(file).c_str(), format->format, quality, 0, 0); saved < 0)
        return library_failure("vlx_SaveStill", saved);
    if (int failed = session.stop()) return failed;
    std::printf("saved %s: %s, a %ldx%ld still %s, %.1f ms after %s\n", file.c_str(), format->name,
                static_cast<long>(header.bmiHeader.biWidth), std::labs(header.bmiHeader.biHeight),
                !has_still_pin ? "(the next capture frame)" : button ? "of the button" : "of the trigger", waited_ms,
                button ? "the wait began" : "the trigger");
    return exit_ok;
}

}  // namespace tool
