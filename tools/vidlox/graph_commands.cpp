// caps DEVICE and filters DEVICE [MODE]: what an opened device offers and
// which filters its graph holds, read from a slot that is open but not run.
#include "capture_session.h"
#include "commands.h"
#include "format_option.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cstdio>
#include <cstdlib>

namespace tool {

namespace {

// The three capability lists (rates, widths, heights), each sized by its
// own size query.
int read_capability_lists(std::vector<std::string> lists[3]) {
    std::string texts[3];
    for (int32_t list = 0; list < 3; ++list) {
        const int32_t size = vlx_GetDevCapConfigSize(list);
        if (size < 0) return library_failure("vlx_GetDevCapConfigSize", size);
        texts[list].assign(static_cast<size_t>(size) + 1, '\0');
    }
    const int32_t result = vlx_GetDevCapConfig(texts[0].data(), texts[1].data(), texts[2].data());
    if (result < 0) return library_failure("vlx_GetDevCapConfig", result);
    for (int list = 0; list < 3; ++list) lists[list] = split_name_list(texts[list].c_str());
    return exit_ok;
}

bool is_number(const std::string& text) {
    char* end = nullptr;
    std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

}  // namespace

int caps_command(const CommandLine& line) {
    if (int wrong = request_format_option(line)) return wrong;
    CaptureSession session;
    if (int failed = open_with_format(session, line, render_null_renderer)) return failed;
    std::vector<std::string> lists[3];  // rates, widths, heights
    if (int failed = read_capability_lists(lists)) return failed;
    if (lists[0].size() != lists[1].size() || lists[0].size() != lists[2].size())
        return tool_failure("the capability lists disagree: %zu rates, %zu widths, %zu heights", lists[0].size(),
                            lists[1].size(), lists[2].size());
    if (lists[0].empty()) {
        std::printf("%s: no usable capabilities\n", session.name.c_str());
        return exit_ok;
    }
    std::printf("%s: %zu capabilities\n", session.name.c_str(), lists[0].size());
    for (size_t i = 0; i < lists[0].size(); ++i)
        std::printf("%4zu  %s x %s  %s fps\n", i, lists[1][i].c_str(), lists[2][i].c_str(), lists[0][i].c_str());
    return exit_ok;
}

int filters_command(const CommandLine& line) {
    int mode = render_null_renderer;
    if (line.positional.size() > 1) {
        if (!is_number(line.positional[1])) {
            std::fprintf(stderr, "vidlox: MODE is a render mode number, not \"%s\"\n", line.positional[1].c_str());
            return exit_usage;
        }
        mode = std::atoi(line.positional[1].c_str());
    }
    if (mode == render_avi_file || mode == render_avi_file_no_preview_renderer) {
        std::fputs("vidlox: filters opens no file; record shows the AVI modes at work\n", stderr);
        return exit_usage;
    }
    CaptureSession session;
    // The mixing renderers in windowed mode with one stream: their other
    // modes need a host that draws (and crash Wine's VMR9).
    const bool mixing = mode == render_vmr7 || mode == render_vmr9;
    const intptr_t windowed = 1, streams = 1;
    if (int failed = session.open(line.positional[0], mode, mixing ? windowed : 0, mixing ? streams : 0))
        return failed;
    const int32_t size = vlx_GetStreamFilterListSize();
    if (size < 0) return library_failure("vlx_GetStreamFilterListSize", size);
    std::string text(static_cast<size_t>(size) + 1, '\0');
    const int32_t count = vlx_StreamFilterList(text.data());
    if (count < 0) return library_failure("vlx_StreamFilterList", count);
    std::printf("%s in render mode %d: %d filters\n", session.name.c_str(), mode, count);
    for (const std::string& name : split_name_list(text.c_str())) std::printf("      %s\n", name.c_str());
    return exit_ok;
}

}  // namespace tool
