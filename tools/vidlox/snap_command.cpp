// snap DEVICE FILE [--size WxH] [--quality Q] [--raw]: the newest frame as a
// picture, through vlx_SaveImage in the format the file's extension names,
// or with --raw as the frame's own bytes through vlx_SaveBMP.
#include "capture_session.h"
#include "commands.h"
#include "format_option.h"
#include "image_formats.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cstdio>
#include <cstdlib>

namespace tool {

int snap_command(const CommandLine& line) {
    const std::string& file = line.positional[1];
    const ImageFormat* format = format_of(file);
    if (!format) return unknown_image_format(file);
    const bool raw = line.flags.count("--raw") != 0;
    if (raw && (format->format != 0 || line.values.count("--size") || line.values.count("--quality"))) {
        std::fputs("vidlox: --raw writes the frame's own bytes to a .bmp file; it takes no --size or --quality\n",
                   stderr);
        return exit_usage;
    }
    int width = 0, height = 0, quality = encoder_default_quality;
    if (!option_size(line, "--size", width, height) || !option_int(line, "--quality", quality)) return exit_usage;
    std::string ansi_name;
    if (raw && !ansi(file, ansi_name))
        return tool_failure("vlx_SaveBMP takes ANSI file names, and \"%s\" has characters outside the ANSI code "
                            "page; leave out --raw to save it through vlx_SaveImage",
                            file.c_str());

    if (int wrong = request_format_option(line)) return wrong;
    CaptureSession session;
    if (int failed = open_with_format(session, line, render_null_renderer)) return failed;
    if (int failed = session.run()) return failed;
    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
    if (int failed = session.grab(pixels, header)) return failed;  // waits for the first frame

    if (raw) {
        const int32_t saved = vlx_SaveBMP(ansi_name.c_str());
        if (saved < 0) return library_failure("vlx_SaveBMP", saved);
    } else {
        const int32_t saved = vlx_SaveImage(utf16(file).c_str(), format->format, quality, width, height);
        if (saved < 0) return library_failure("vlx_SaveImage", saved);
    }
    if (int failed = session.stop()) return failed;
    const long frame_width = header.bmiHeader.biWidth, frame_height = std::labs(header.bmiHeader.biHeight);
    if (raw) {
        std::printf("saved %s: the %ldx%ld frame's own bytes\n", file.c_str(), frame_width, frame_height);
    } else {
        std::printf("saved %s: %s, %ldx%ld from a %ldx%ld frame\n", file.c_str(), format->name,
                    width > 0 ? width : frame_width, height > 0 ? height : frame_height, frame_width, frame_height);
    }
    return exit_ok;
}

}  // namespace tool
