#include "audio_option.h"

#include "lists.h"
#include "report.h"

#include <vidlox.h>

#include <cstdio>
#include <cstdlib>

namespace tool {

namespace {

bool is_index(const std::string& text) {
    return !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string::npos;
}

int set_audio_format(const CommandLine& line) {
    const auto found = line.values.find("--audio-format");
    if (found == line.values.end()) return exit_ok;
    int rate = 0, channels = 0, bits = 0;
    char end = 0;
    if (std::sscanf(found->second.c_str(), "%d,%d,%d%c", &rate, &channels, &bits, &end) != 3 || rate <= 0 ||
        channels <= 0 || bits <= 0) {
        std::fprintf(stderr, "vidlox: --audio-format takes RATE,CHANNELS,BITS (48000,2,16), not \"%s\"\n",
                     found->second.c_str());
        return exit_usage;
    }
    const int32_t set = vlx_SetAudioFormat(rate, channels, bits);
    return set < 0 ? library_failure("vlx_SetAudioFormat", set) : exit_ok;
}

}  // namespace

int choose_microphone(const std::string& mic, const CommandLine& line, std::string& name) {
    const NameList names = device_list(1);
    if (names.failed_function && !none_installed(names, false)) return library_failure(names.failed_function, names.result);
    const NameList paths = device_path_list(1);
    int32_t chosen = -1;
    if (is_index(mic)) chosen = std::atoi(mic.c_str());
    for (size_t i = 0; chosen < 0 && i < names.names.size(); ++i) {
        if (names.names[i] == mic) chosen = static_cast<int32_t>(i);
    }
    if (chosen < 0) {
        for (size_t i = 0; i < paths.names.size(); ++i) {
            if (paths.names[i] != mic) continue;
            if (i < names.names.size()) name = names.names[i];
            const int32_t set = vlx_SetAudioDevicePath(mic.c_str());
            return set < 0 ? library_failure("vlx_SetAudioDevicePath", set) : set_audio_format(line);
        }
        return tool_failure("no audio capture device has the name or path \"%s\" (vidlox devices --paths lists "
                            "them)", mic.c_str());
    }
    if (static_cast<size_t>(chosen) < names.names.size()) name = names.names[static_cast<size_t>(chosen)];
    const int32_t set = vlx_SetAudioDevice(chosen);
    return set < 0 ? library_failure("vlx_SetAudioDevice", set) : set_audio_format(line);
}

std::string audio_format_text() {
    int32_t rate = 0, channels = 0, bits = 0;
    if (vlx_GetAudioFormat(&rate, &channels, &bits) != 0) return "no sound";
    char text[80];
    std::snprintf(text, sizeof text, "%d Hz, %d channel%s, %d bits", rate, channels, channels == 1 ? "" : "s", bits);
    return text;
}

}  // namespace tool
