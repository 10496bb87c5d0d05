// record DEVICE FILE.avi [--compressor NAME] [--seconds S] [--audio MIC
// [--audio-format R,C,B]]: the capture stream into an AVI file through
// render mode 300, while the preview stream reaches the grabber, whose frame
// numbers show the camera's progress; with a microphone, its sound beside
// the picture in the same file.
#include "audio_option.h"
#include "avi_frames.h"
#include "capture_session.h"
#include "commands.h"
#include "format_option.h"
#include "progress.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cstdio>

namespace tool {

namespace {
constexpr double default_seconds = 5.0;
constexpr DWORD poll_ms = 50;
}  // namespace

int record_command(const CommandLine& line) {
    double seconds = default_seconds;
    if (!option_double(line, "--seconds", seconds)) return exit_usage;
    const std::wstring file = utf16(line.positional[1]);
    const auto named = line.values.find("--compressor");
    const std::wstring compressor = named == line.values.end() ? std::wstring() : utf16(named->second);

    if (int wrong = request_format_option(line)) return wrong;
    CaptureSession session;
    std::string microphone;
    const auto audio = line.values.find("--audio");
    if (audio != line.values.end()) {
        if (int failed = session.init()) return failed;
        if (int failed = choose_microphone(audio->second, line, microphone)) return failed;
    } else if (line.values.count("--audio-format")) {
        std::fputs("vidlox: --audio-format needs --audio MIC\n", stderr);
        return exit_usage;
    }
    // vlx_Open takes both names as UTF-16 addresses; no compressor name
    // records uncompressed.
    const intptr_t compressor_name = named == line.values.end() ? 0 : reinterpret_cast<intptr_t>(compressor.c_str());
    if (int failed = open_with_format(session, line, render_avi_file, reinterpret_cast<intptr_t>(file.c_str()),
                                      compressor_name))
        return failed;
    if (!microphone.empty()) std::printf("sound from %s: %s\n", microphone.c_str(), audio_format_text().c_str());
    if (int failed = session.run()) return failed;

    Progress progress("record");
    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
    int64_t delivered = -1;  // camera frames since Run, where they are numbered
    while (progress.elapsed_seconds() < seconds) {
        Sleep(poll_ms);
        // A lost or stalled camera would leave the file growing with nothing.
        if (int failed = session.healthy()) return failed;
        if (int failed = session.grab(pixels, header)) return failed;
        uint32_t number = 0;
        if (session.frame_number(pixels, header, number)) delivered = int64_t{number} + 1;
        progress.show(delivered < 0 ? 0 : delivered, -1);
    }
    progress.finish(delivered < 0 ? 0 : delivered, -1);
    if (int failed = session.close()) return failed;  // the file is complete once the graph is gone

    const int64_t written = avi_frame_count(file);
    if (written < 0) return tool_failure("%s was not written as an AVI file", line.positional[1].c_str());
    std::printf("wrote %s: %lld frames", line.positional[1].c_str(), static_cast<long long>(written));
    if (delivered >= 0) {
        std::printf(" of the camera's %lld", static_cast<long long>(delivered));
        if (delivered > written) std::printf(" (%lld dropped)", static_cast<long long>(delivered - written));
    }
    std::printf(", %s", compressor.empty() ? "uncompressed" : named->second.c_str());
    const double sound = avi_audio_seconds(file);
    if (sound >= 0) std::printf(", %.2f s of sound", sound);
    std::printf("\n");
    return exit_ok;
}

}  // namespace tool
