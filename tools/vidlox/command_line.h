// The command line: a command, its positional arguments and its options.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tool {

struct CommandLine {
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;  // "--seconds" -> "2"
    std::set<std::string> flags;                // "--raw", "--log", "--help", "--version", "--paths", "--lock"
    std::string error;                          // set when the line cannot be read
};

CommandLine read_command_line(const std::vector<std::string>& arguments);

// Option readers: false (and a message printed) when the text is not one.
bool option_int(const CommandLine& line, const char* option, int& value);
bool option_double(const CommandLine& line, const char* option, double& value);
bool option_size(const CommandLine& line, const char* option, int& width, int& height);

}  // namespace tool
