#include "command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tool {

namespace {

const std::set<std::string> value_options = {"--size", "--quality", "--compressor", "--seconds", "--codec", "--fps",
                                              "--format", "--channel", "--save", "--apply", "--audio", "--audio-format",
                                              "--device"};
const std::set<std::string> flag_options = {"--raw", "--log", "--help", "--version", "--nearest", "--paths", "--lock",
                                             "--any-device", "--button"};

bool bad_value(const char* option, const std::string& text, const char* wanted) {
    std::fprintf(stderr, "vidlox: %s takes %s, not \"%s\"\n", option, wanted, text.c_str());
    return false;
}

}  // namespace

CommandLine read_command_line(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            if (flag_options.count(argument)) {
                line.flags.insert(argument);
            } else if (value_options.count(argument)) {
                if (i + 1 == arguments.size()) {
                    line.error = argument + " needs a value";
                    return line;
                }
                line.values[argument] = arguments[++i];
            } else {
                line.error = "unknown option " + argument;
                return line;
            }
        } else if (line.command.empty()) {
            line.command = argument;
        } else {
            line.positional.push_back(argument);
        }
    }
    return line;
}

bool option_int(const CommandLine& line, const char* option, int& value) {
    const auto found = line.values.find(option);
    if (found == line.values.end()) return true;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(found->second.c_str(), &end, 10);
    if (found->second.empty() || *end != '\0' || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return bad_value(option, found->second, "a whole number");
    value = static_cast<int>(parsed);
    return true;
}

bool option_double(const CommandLine& line, const char* option, double& value) {
    const auto found = line.values.find(option);
    if (found == line.values.end()) return true;
    char* end = nullptr;
    const double parsed = std::strtod(found->second.c_str(), &end);
    if (found->second.empty() || *end != '\0' || !std::isfinite(parsed) || parsed <= 0.0)
        return bad_value(option, found->second, "a number above 0");
    value = parsed;
    return true;
}

bool option_size(const CommandLine& line, const char* option, int& width, int& height) {
    const auto found = line.values.find(option);
    if (found == line.values.end()) return true;
    int w = 0, h = 0;
    char rest = 0;
    if (std::sscanf(found->second.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < 0 || h < 0)
        return bad_value(option, found->second, "WIDTHxHEIGHT");
    width = w;
    height = h;
    return true;
}

}  // namespace tool
