#include "report.h"

#include "code_meanings.h"

#include <vidlox.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

const char* code_meaning(const char* function, int32_t code) {
    for (const vlx_code_meaning* entry = vlx_code_meanings; entry->function; ++entry) {
        if (entry->code == code && std::strcmp(entry->function, function) == 0) return entry->meaning;
    }
    return nullptr;
}

namespace tool {

namespace {

// The library appends to this text from the calling thread only; the tool
// empties it after every flush, so it only ever holds one step's lines.
char log_text[64 * 1024];
bool forwarding = false;

// Codes below this are HRESULTs handed back unchanged (vlx_Init,
// vlx_InitEncoder): the library's own codes are small numbers.
constexpr int32_t smallest_library_code = -0xFFFF;

void print_system_text(int32_t status) {
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(status), 0, text, sizeof text, nullptr);
    if (length == 0) return;
    std::size_t end = length;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == ' ')) --end;
    std::fprintf(stderr, " (%.*s)", static_cast<int>(end), text);
}

}  // namespace

int library_failure(const char* function, int32_t code) {
    flush_log();
    std::fprintf(stderr, "vidlox: %s failed with %d", function, code);
    if (const char* meaning = code_meaning(function, code)) {
        std::fprintf(stderr, ": %s", meaning);
    } else if (code < smallest_library_code) {
        std::fprintf(stderr, ": HRESULT 0x%08lX", static_cast<unsigned long>(code));
        print_system_text(code);
    }
    std::fputc('\n', stderr);
    // The capture side keeps the status of its most recent platform call; the
    // encoder functions (vlx_*Encoder) never report to it.
    if (std::strncmp(function, "vlx_", 4) == 0 && std::strstr(function, "Encoder") == nullptr) {
        const int32_t status = vlx_GetLastError();
        if (status < 0) {
            std::fprintf(stderr, "vidlox: last platform status 0x%08lX", static_cast<unsigned long>(status));
            print_system_text(status);
            std::fputc('\n', stderr);
        }
    }
    return exit_failed;
}

int tool_failure(const char* format, ...) {
    flush_log();
    std::fputs("vidlox: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    return exit_failed;
}

void start_log_forwarding() {
    log_text[0] = '\0';
    vlx_SetLogBuffer(log_text, static_cast<int32_t>(sizeof log_text));
    vlx_SetLogLevel(2);
    forwarding = true;
}

bool log_pending() {
    return forwarding && log_text[0] != '\0';
}

void flush_log() {
    if (!forwarding || log_text[0] == '\0') return;
    // Lines end in CR LF; stderr is a text stream and adds its own CR.
    for (const char* c = log_text; *c; ++c) {
        if (*c != '\r') std::fputc(*c, stderr);
    }
    std::fflush(stderr);
    log_text[0] = '\0';
}

}  // namespace tool
