// controls DEVICE and control DEVICE NAME VALUE|auto: the camera's own
// settings, read from the library's control list and set through
// vlx_SetControl, on a device opened without a renderer (controls need no
// stream, and a device whose pins connect nowhere still has them).
#include "capture_session.h"
#include "commands.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tool {

namespace {

// A render mode vlx_Open builds no branch for: the device and the grabber
// stay unconnected.
constexpr int32_t render_no_branch = 5;

struct Control {
    int32_t id = 0;
    std::string name;
    int32_t minimum = 0, maximum = 0, step = 0, default_value = 0, modes = 0, value = 0, mode = 0;
};

bool whole_number(const std::string& text, int32_t& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

// One line of the list: TAB-separated fields, the numbers padded with spaces.
bool read_line(const std::string& line, Control& control) {
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (fields.size() != 9) return false;
    control.name = fields[1];
    int32_t* numbers[] = {&control.minimum, &control.maximum, &control.step, &control.default_value,
                          &control.modes, &control.value, &control.mode};
    for (size_t i = 0; i < 7; ++i) {
        const size_t digits = fields[i + 2].find_first_not_of(' ');
        if (digits == std::string::npos || !whole_number(fields[i + 2].substr(digits), *numbers[i])) return false;
    }
    return whole_number(fields[0], control.id);
}

// The device's controls, the list sized by its own size query.
int read_controls(std::vector<Control>& controls) {
    const int32_t size = vlx_GetControlListSize();
    if (size < 0) return library_failure("vlx_GetControlListSize", size);
    std::string text(static_cast<size_t>(size), '\0');
    const int32_t count = vlx_GetControlList(text.data());
    if (count < 0) return library_failure("vlx_GetControlList", count);
    for (const std::string& line : split_name_list(text.c_str())) {
        Control control;
        if (!read_line(line, control)) return tool_failure("a control line the tool cannot read: \"%s\"", line.c_str());
        controls.push_back(control);
    }
    return exit_ok;
}

const char* mode_text(int32_t mode) {
    switch (mode & (VLX_CONTROL_AUTO | VLX_CONTROL_MANUAL)) {
    case VLX_CONTROL_AUTO | VLX_CONTROL_MANUAL: return "auto manual";
    case VLX_CONTROL_AUTO: return "auto";
    case VLX_CONTROL_MANUAL: return "manual";
    default: return "-";
    }
}

}  // namespace

int controls_command(const CommandLine& line) {
    CaptureSession session;
    if (int failed = session.open(line.positional[0], render_no_branch)) return failed;
    std::vector<Control> controls;
    if (int failed = read_controls(controls)) return failed;
    if (controls.empty()) {
        std::printf("%s: no camera controls\n", session.name.c_str());
        return exit_ok;
    }
    std::printf("%s: %zu controls\n", session.name.c_str(), controls.size());
    std::printf("%5s  %-22s %7s %7s %6s %7s  %-11s %7s  %s\n", "id", "name", "minimum", "maximum", "step",
                "default", "modes", "value", "mode");
    for (const Control& c : controls) {
        std::printf("%5d  %-22s %7d %7d %6d %7d  %-11s %7d  %s\n", c.id, c.name.c_str(), c.minimum, c.maximum,
                    c.step, c.default_value, mode_text(c.modes), c.value, mode_text(c.mode));
    }
    return exit_ok;
}

int control_command(const CommandLine& line) {
    const std::string& name = line.positional[1];
    const std::string& wanted = line.positional[2];
    int32_t value = 0;
    const int32_t mode = wanted == "auto" ? VLX_CONTROL_AUTO : VLX_CONTROL_MANUAL;
    if (mode == VLX_CONTROL_MANUAL && !whole_number(wanted, value)) {
        std::fprintf(stderr, "vidlox: VALUE is a whole number or auto, not \"%s\"\n", wanted.c_str());
        return exit_usage;
    }
    CaptureSession session;
    if (int failed = session.open(line.positional[0], render_no_branch)) return failed;
    std::vector<Control> controls;
    if (int failed = read_controls(controls)) return failed;
    // A name from the list, or an id as the header numbers them (which
    // lets the library say why a control the list lacks cannot be set).
    int32_t id = -1;
    for (const Control& c : controls) {
        if (c.name == name) id = c.id;
    }
    if (id < 0 && !whole_number(name, id))
        return tool_failure("%s has no control \"%s\" (vidlox controls lists those it has)", session.name.c_str(),
                            name.c_str());
    const int32_t set = vlx_SetControl(id, value, mode);
    if (set < 0) return library_failure("vlx_SetControl", set);
    int32_t held = 0, held_mode = 0;
    const int32_t read = vlx_GetControl(id, &held, &held_mode);
    if (read < 0) return library_failure("vlx_GetControl", read);
    std::printf("%s = %d (%s)\n", name.c_str(), held, mode_text(held_mode));
    if (set == 1) {
        std::printf("the device accepted %s but holds another %s\n", mode == VLX_CONTROL_AUTO ? "auto" : wanted.c_str(),
                    mode == VLX_CONTROL_AUTO ? "mode" : "value");
    }
    return exit_ok;
}

}  // namespace tool
