// profile DEVICE --save FILE | --apply FILE [--any-device]: the camera's
// settings to a profile file (vlx_SaveProfile), or a profile back onto the
// camera (vlx_ApplyProfile) with what became of each of its lines
// (vlx_GetProfileReport). The device opens without a renderer, as for
// controls: settings need no stream.
#include "capture_session.h"
#include "commands.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cstdio>
#include <string>

namespace tool {

namespace {

// A render mode vlx_Open builds no branch for.
constexpr int32_t render_no_branch = 5;

// The report, one "LINE OUTCOME NAME" line each, sized by its own query.
int print_report() {
    const int32_t size = vlx_GetProfileReportSize();
    if (size < 0) return library_failure("vlx_GetProfileReportSize", size);
    std::string text(static_cast<size_t>(size), '\0');
    const int32_t count = vlx_GetProfileReport(text.data());
    if (count < 0) return library_failure("vlx_GetProfileReport", count);
    for (const std::string& line : split_name_list(text.c_str())) {
        const size_t first = line.find(' '), second = line.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        std::printf("  line %-5s %-23s %s\n", line.substr(0, first).c_str(),
                    line.substr(second + 1).c_str(), line.substr(first + 1, second - first - 1).c_str());
    }
    return exit_ok;
}

}  // namespace

int profile_command(const CommandLine& line) {
    const auto save = line.values.find("--save");
    const auto apply = line.values.find("--apply");
    if ((save == line.values.end()) == (apply == line.values.end())) {
        std::fprintf(stderr, "vidlox: profile takes one of --save FILE and --apply FILE\n");
        return exit_usage;
    }
    if (save != line.values.end() && line.flags.count("--any-device")) {
        std::fprintf(stderr, "vidlox: --any-device goes with --apply\n");
        return exit_usage;
    }
    CaptureSession session;
    if (int failed = session.open(line.positional[0], render_no_branch)) return failed;
    if (save != line.values.end()) {
        const int32_t saved = vlx_SaveProfile(save->second.c_str());
        if (saved < 0) return library_failure("vlx_SaveProfile", saved);
        std::printf("%s: %d settings saved to %s\n", session.name.c_str(), saved, save->second.c_str());
        return exit_ok;
    }
    const int32_t flags = line.flags.count("--any-device") ? VLX_PROFILE_ANY_DEVICE : 0;
    const int32_t applied = vlx_ApplyProfile(apply->second.c_str(), flags);
    if (applied < 0) {
        print_report();
        return library_failure("vlx_ApplyProfile", applied);
    }
    std::printf("%s: %d settings applied from %s\n", session.name.c_str(), applied, apply->second.c_str());
    return print_report();
}

}  // namespace tool
