#include "library/error_recorder.h"

#include "library/library_state.h"
#include "library/status_names.h"

#include <cstdint>
#include <cstring>

namespace vlx {

namespace {

// VFW_S_NOPREVIEWPIN is the capture graph builder's normal answer for a device
// without a preview pin; it is treated like S_OK.
bool counts_as_success(HRESULT status) { return status == S_OK || status == VFW_S_NOPREVIEWPIN; }

void append_log_line(const LibraryState& lib, const char* context, HRESULT status) {
    if (!lib.log_buffer || lib.log_buffer_size <= 0) return;
    // Bounded by the capacity: a buffer whose text lost its terminator is
    // treated as full instead of being read past its end.
    const auto capacity = static_cast<size_t>(lib.log_buffer_size);
    const size_t used = strnlen(lib.log_buffer, capacity);
    if (used >= capacity) return;

    char name[1024];
    format_status_name(status, name, sizeof name);

    char line[4096];
    size_t length = 0;
    auto put = [&](const char* text) {
        const size_t n = std::strlen(text);
        const size_t room = sizeof line - 1 - length;
        const size_t take = n < room ? n : room;
        std::memcpy(line + length, text, take);
        length += take;
    };
    put("1 ");
    put(context);
    put(" = ");
    put(name);
    put("\r\n");
    line[length] = '\0';

    // A line that does not fit is dropped whole; later, shorter ones may fit.
    if (used + length < capacity) std::memcpy(lib.log_buffer + used, line, length + 1);
}

}  // namespace

void record_status(const char* context, HRESULT status) noexcept {
    LibraryState& lib = library();
    lib.last_error = status;
    if (counts_as_success(status)) {
        if (lib.log_level >= 2) append_log_line(lib, context, status);
        return;
    }
    if (lib.log_level >= 1) append_log_line(lib, context, status);
    if (lib.error_window) {
        PostMessageA(lib.error_window, kErrorMessage, 1, static_cast<LPARAM>(static_cast<int32_t>(status)));
    }
}

}  // namespace vlx
