// How the tool speaks: failures of library calls with their documented
// meaning, its own refusals, and the library's log forwarded to stderr.
#pragma once

#include <cstdint>

namespace tool {

// Exit codes of vidlox.exe.
constexpr int exit_ok = 0;
constexpr int exit_failed = 1;  // a library call failed, or the device or a file was not found
constexpr int exit_usage = 2;   // the command line is wrong

// Prints "vidlox: FUNCTION failed with CODE: MEANING" (and the platform status
// of the most recent capture-side call where one failed); returns exit_failed.
int library_failure(const char* function, int32_t code);

// Prints "vidlox: TEXT"; returns exit_failed.
int tool_failure(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// --log: every reported platform call (log level 2) goes to stderr.
void start_log_forwarding();
// Writes what the library logged since the last flush to stderr.
void flush_log();
// Whether the library logged something not yet written.
bool log_pending();

}  // namespace tool
