// devices and codecs: the library's name lists, video and audio.
#include "commands.h"
#include "lists.h"
#include "report.h"

#include <vidlox.h>

#include <cstdio>

namespace tool {

namespace {

// Prints one list under its title; a category with nothing installed is an
// empty list, not a failure. With `paths`, each name's path goes on the line
// below it.
int print_list(const char* title, const NameList& list, bool codecs, bool numbered,
               const NameList* paths = nullptr) {
    if (none_installed(list, codecs) || (!list.failed_function && list.names.empty())) {
        std::printf("%s: none\n", title);
        return exit_ok;
    }
    if (list.failed_function) return library_failure(list.failed_function, list.result);
    if (paths && paths->failed_function) return library_failure(paths->failed_function, paths->result);
    std::printf("%s:\n", title);
    for (size_t i = 0; i < list.names.size(); ++i) {
        if (numbered) {
            std::printf("%4zu  %s\n", i, list.names[i].c_str());
        } else {
            std::printf("      %s\n", list.names[i].c_str());
        }
        if (paths && i < paths->names.size()) std::printf("      %s\n", paths->names[i].c_str());
    }
    return exit_ok;
}

int print_lists(NameList (*read)(int32_t), bool codecs, const char* video_title, const char* audio_title) {
    const int32_t initialised = vlx_Init();
    // Only video devices can be opened, so only they carry the index DEVICE takes.
    int result = initialised < 0 ? library_failure("vlx_Init", initialised)
                                 : print_list(video_title, read(0), codecs, !codecs);
    if (result == exit_ok) result = print_list(audio_title, read(1), codecs, false);
    if (initialised != -1) vlx_Exit();  // a failed CoInitialize still leaves the library initialised
    flush_log();
    return result;
}

}  // namespace

int devices_command(const CommandLine& line) {
    if (!line.flags.count("--paths")) {
        return print_lists(device_list, false, "video capture devices", "audio capture devices");
    }
    const int32_t initialised = vlx_Init();
    int result = exit_ok;
    if (initialised < 0) {
        result = library_failure("vlx_Init", initialised);
    } else {
        const char* titles[] = {"video capture devices", "audio capture devices"};
        for (int32_t kind = 0; kind < 2 && result == exit_ok; ++kind) {
            const NameList paths = device_path_list(kind);
            result = print_list(titles[kind], device_list(kind), false, kind == 0, &paths);
        }
    }
    if (initialised != -1) vlx_Exit();
    flush_log();
    return result;
}

int codecs_command(const CommandLine&) {
    return print_lists(codec_list, true, "video compressors", "audio compressors");
}

}  // namespace tool
