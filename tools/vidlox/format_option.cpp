#include "format_option.h"

#include "report.h"

#include <vidlox.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tool {

namespace {

// vlx_Open's refusals of a format step that chooses one capability.
constexpr int32_t open_no_exact_match = -60;
constexpr int32_t open_nothing_to_choose = -61;

struct FormatRequest {
    std::string subtype;  // empty: any
    int width = 0, height = 0;
    double rate = 0.0;
};

bool whole_number(const std::string& text, int& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || parsed <= 0 || parsed > INT32_MAX) return false;
    value = static_cast<int>(parsed);
    return true;
}

// [SUBTYPE:][WxH][@FPS], at least one part.
bool read_format_request(const std::string& text, FormatRequest& request) {
    std::string rest = text;
    const size_t colon = rest.find(':');
    if (colon != std::string::npos) {
        request.subtype = rest.substr(0, colon);
        rest = rest.substr(colon + 1);
    } else if (rest.find('x') == std::string::npos && rest.find('@') == std::string::npos) {
        request.subtype = rest;  // a subtype alone
        rest.clear();
    }
    const size_t at = rest.find('@');
    if (at != std::string::npos) {
        const std::string fps = rest.substr(at + 1);
        char* end = nullptr;
        request.rate = std::strtod(fps.c_str(), &end);
        if (fps.empty() || *end != '\0' || !std::isfinite(request.rate) || request.rate <= 0.0) return false;
        rest = rest.substr(0, at);
    }
    if (!rest.empty()) {
        const size_t x = rest.find('x');
        if (x == std::string::npos || !whole_number(rest.substr(0, x), request.width) ||
            !whole_number(rest.substr(x + 1), request.height))
            return false;
    }
    return !text.empty();
}

int print_format_in_force() {
    char subtype[VLX_SUBTYPE_TEXT_SIZE] = "";
    int32_t width = 0, height = 0;
    double rate = 0.0;
    const int32_t read = vlx_GetDevFormat(subtype, &width, &height, &rate);
    if (read < 0) return library_failure("vlx_GetDevFormat", read);
    std::printf("format in force: %s %dx%d at %.2f fps\n", subtype, static_cast<int>(width), static_cast<int>(height),
                rate);
    return exit_ok;
}

}  // namespace

int request_format_option(const CommandLine& line) {
    const bool nearest = line.flags.count("--nearest") != 0;
    const auto given = line.values.find("--format");
    if (given == line.values.end()) {
        if (!nearest) return exit_ok;
        std::fputs("vidlox: --nearest goes with --format\n", stderr);
        return exit_usage;
    }
    FormatRequest request;
    if (!read_format_request(given->second, request)) {
        std::fprintf(stderr, "vidlox: --format takes SUBTYPE:WIDTHxHEIGHT@FPS (any part may be left out), not \"%s\"\n",
                     given->second.c_str());
        return exit_usage;
    }
    vlx_SetActiveSel(0);  // the slot CaptureSession opens
    if (vlx_SetDevSubtype(request.subtype.c_str()) < 0) {
        std::fprintf(stderr, "vidlox: \"%s\" names no subtype (vidlox formats DEVICE lists them)\n",
                     request.subtype.c_str());
        return exit_usage;
    }
    vlx_SetDevWidth(request.width);
    vlx_SetDevHeight(request.height);
    vlx_SetDevFrameRate(request.rate);
    vlx_SetDevFormatChoice(nearest ? VLX_FORMAT_CHOICE_NEAREST : VLX_FORMAT_CHOICE_EXACT);
    return exit_ok;
}

int open_with_format(CaptureSession& session, const CommandLine& line, int32_t render_mode, intptr_t param1,
                     intptr_t param2) {
    if (int failed = session.open(line.positional[0], render_mode, param1, param2)) {
        if (session.open_code == open_no_exact_match) {
            std::fprintf(stderr,
                         "vidlox: the device has no format that equals --format %s (vidlox formats \"%s\" lists "
                         "them; --nearest takes the closest)\n",
                         line.values.at("--format").c_str(), line.positional[0].c_str());
        } else if (session.open_code == open_nothing_to_choose) {
            std::fputs("vidlox: the device lists no format the library can capture in\n", stderr);
        }
        return failed;
    }
    return line.values.count("--format") ? print_format_in_force() : exit_ok;
}

}  // namespace tool
