// vidlox.exe: the library's first client, written against include/vidlox.h
// and linked with its import library exactly as any host program would be.
#include "commands.h"
#include "report.h"
#include "text.h"
#include "version_info.h"

#include <vidlox.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace tool {

namespace {

struct Command {
    const char* synopsis;  // the name, then its arguments
    size_t positional_min;
    size_t positional_max;
    const char* options;  // the value options and flags it takes, space-separated
    int (*run)(const CommandLine&);
    const char* summary;  // lines after the first are indented under it
};

const Command commands[] = {
    {"devices [--paths]", 0, 0, "--paths", devices_command,
     "video and audio capture devices (DEVICE: video index);\n"
     "--paths: each with its path, under its name"},
    {"codecs", 0, 0, "", codecs_command, "video and audio compressors"},
    {"caps DEVICE", 1, 1, "--format --nearest", caps_command, "the device's capabilities, one line each"},
    {"formats DEVICE", 1, 1, "", formats_command,
     "every format the device's capture pin lists (subtype,\n"
     "size, frame rates, format block), without opening it"},
    {"filters DEVICE [MODE]", 1, 2, "", filters_command,
     "the filters of the device's graph in render mode MODE\n"
     "(default 6 Null Renderer; 0 Video Renderer; 1 VMR7 and\n"
     "2 VMR9, windowed with one stream)"},
    {"snap DEVICE FILE [--size WxH] [--quality Q] [--raw]", 2, 2, "--size --quality --raw --format --nearest", snap_command,
     "saves the newest frame through vlx_SaveImage in the\n"
     "format of FILE's extension (.bmp .jpg .png .gif .tif\n"
     ".jxr .heic), resized to W x H (0: the frame's own), at\n"
     "quality Q (0-100); --raw: the frame's own bytes as a\n"
     ".bmp through vlx_SaveBMP"},
    {"record DEVICE FILE.avi [--compressor NAME] [--seconds S] [--audio MIC [--audio-format R,C,B]]", 2, 2,
     "--compressor --seconds --format --nearest --audio --audio-format", record_command,
     "records into an AVI file (render mode 300) through the\n"
     "compressor NAME (see codecs; default: uncompressed); 5 s;\n"
     "--audio: the microphone MIC's sound in the same file, in\n"
     "sync (its clock for the graph, its stream the master),\n"
     "in --audio-format RATE,CHANNELS,BITS (see audio-formats)"},
    {"encode DEVICE FILE.mp4 [--codec N] [--seconds S] [--fps F]", 2, 2, "--codec --seconds --fps --format --nearest", encode_command,
     "grabs frames (vlx_GetImageMem) into the encoder\n"
     "(vlx_WriteEncoder): codec numbers as in vidlox.h,\n"
     "default 2 (H.264 main); 5 s at 30 fps"},
    {"still DEVICE FILE [--size WxH] [--button]", 2, 2, "--size --button --seconds --quality", still_command,
     "a still of the device's still pin at W x H (default:\n"
     "its largest) on the software trigger, or with --button\n"
     "the first one the camera's button sends (waited for\n"
     "until Ctrl+C or --seconds S), saved through\n"
     "vlx_SaveStill as FILE's extension says; a device\n"
     "without a still pin gives its next capture frame"},
    {"controls DEVICE", 1, 1, "", controls_command,
     "the camera's own controls: range, step, default,\n"
     "value and mode of each"},
    {"control DEVICE NAME VALUE|auto", 3, 3, "", control_command,
     "sets control NAME (see controls) to VALUE or hands it\n"
     "to the device; prints what the device then holds"},
    {"watch DEVICE [--seconds S] [--lock]", 1, 1, "--seconds --lock", watch_command,
     "takes every frame once (vlx_WaitFrame, vlx_GetFrame;\n"
     "--lock: vlx_LockFrame, vlx_UnlockFrame, no copy):\n"
     "frames taken and missed, the device's dropped frames,\n"
     "latency from arrival to the bytes in hand, and whether\n"
     "the camera's samples were held or copied; 5 s"},
    {"audio-formats MIC", 1, 1, "", audio_formats_command,
     "the formats of the microphone's capture pin, one line\n"
     "each: INDEX RATE CHANNELS BITS"},
    {"listen MIC [--device DEVICE] [--seconds S]", 1, 1, "--device --seconds --audio-format", listen_command,
     "takes every block of the microphone's sound (vlx_WaitAudio,\n"
     "vlx_GetAudio): level meter and block times twice a second;\n"
     "the slot opens DEVICE (default 0) into a Null Renderer; 5 s"},
    {"share DEVICE --channel N [--seconds S]", 1, 1, "--channel --seconds", share_command,
     "publishes the device on channel N (1-4) of the shared\n"
     "camera (\"vidlox Shared Camera N\") until Ctrl+C or S s;\n"
     "once a second: programs reading it and frames per second"},
    {"profile DEVICE --save FILE | --apply FILE [--any-device]", 1, 1, "--save --apply --any-device", profile_command,
     "saves the device's controls and format to a profile\n"
     "file, or applies one and shows what became of each of\n"
     "its lines; --any-device: also a profile saved for\n"
     "another device"},
};

std::string command_name(const Command& command) {
    const char* space = std::strchr(command.synopsis, ' ');
    return space ? std::string(command.synopsis, space) : std::string(command.synopsis);
}

void print_usage(FILE* out) {
    constexpr int column = 26;
    std::fprintf(out,
                 "vidlox %s: video capture and encoding with vidlox64.dll\n\n"
                 "usage: vidlox [--log] COMMAND [ARGUMENTS]\n\n",
                 VLX_PROJECT_VERSION);
    for (const Command& command : commands) {
        if (std::strlen(command.synopsis) < column - 3) {
            std::fprintf(out, "  %-*s", column - 2, command.synopsis);
        } else {
            std::fprintf(out, "  %s\n%*s", command.synopsis, column, "");
        }
        for (const char* c = command.summary; *c; ++c) {
            std::fputc(*c, out);
            if (*c == '\n') std::fprintf(out, "%*s", column, "");
        }
        std::fputc('\n', out);
    }
    std::fputs("\n"
               "DEVICE is an index from \"vidlox devices\", a device's exact name or path,\n"
               "or NAME#N for the N-th device (from 0) of that name. MIC is the same for an\n"
               "audio device (its index in the audio list, its exact name or path).\n"
               "Long work shows elapsed seconds, frames and, with the test camera (whose\n"
               "frames are numbered), the camera's frames that did not reach the file;\n"
               "record and encode stop with a message when the camera is lost, stalls\n"
               "(no frame for a second or more) or fails.\n"
               "caps, snap, record and encode also take --format SUBTYPE:WxH@FPS (any part may\n"
               "be left out: MJPG:1280x720@30, 1280x720@30, MJPG): the device opens in the\n"
               "format of \"vidlox formats\" that equals it, or with --nearest in the one\n"
               "closest to it, and the format in force is printed.\n"
               "  --log      the library's log (every reported platform call) on stderr\n"
               "  --help     this text\n"
               "  --version  the versions of the tool and of vidlox64.dll\n"
               "Exit status: 0 done; 1 a call failed (printed with the meaning of its code),\n"
               "or a device was not found; 2 a wrong command line.\n",
               out);
}

int usage_error(const char* format, const char* detail) {
    std::fputs("vidlox: ", stderr);
    std::fprintf(stderr, format, detail);
    std::fputs("\n(vidlox --help shows the commands)\n", stderr);
    return exit_usage;
}

bool takes_option(const Command& command, const std::string& option) {
    const std::string list = std::string(" ") + command.options + " ";
    return list.find(" " + option + " ") != std::string::npos;
}

int run(const CommandLine& line) {
    if (!line.error.empty()) return usage_error("%s", line.error.c_str());
    if (line.flags.count("--help")) {
        print_usage(stdout);
        return exit_ok;
    }
    if (line.flags.count("--version")) return print_versions();
    if (line.command.empty()) {
        print_usage(stderr);
        return exit_usage;
    }
    for (const Command& command : commands) {
        if (line.command != command_name(command)) continue;
        if (line.positional.size() < command.positional_min || line.positional.size() > command.positional_max)
            return usage_error("usage: vidlox %s", command.synopsis);
        for (const auto& [option, value] : line.values) {
            if (!takes_option(command, option)) return usage_error("this command does not take %s", option.c_str());
        }
        for (const std::string& flag : line.flags) {
            if (flag != "--log" && !takes_option(command, flag))
                return usage_error("this command does not take %s", flag.c_str());
        }
        if (line.flags.count("--log")) start_log_forwarding();
        const int result = command.run(line);
        flush_log();
        return result;
    }
    return usage_error("unknown command \"%s\"", line.command.c_str());
}

}  // namespace

}  // namespace tool

int main() {
    // Names (devices, compressors) are UTF-8; a console shows them as such.
    // The code page belongs to the console, not to this process: the one the
    // user had comes back before the console is handed back.
    const UINT console_code_page = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    const int result = tool::run(tool::read_command_line(tool::command_line_arguments()));
    std::fflush(stdout);
    if (console_code_page != 0) SetConsoleOutputCP(console_code_page);
    return result;
}
