#include "library/log_settings.h"

#include "library/library_state.h"

namespace vlx {

int32_t set_log_level(int32_t level) {
    library().log_level = (level == 1 || level == 2) ? level : 0;
    return 0;
}

int32_t set_log_buffer(char* text, int32_t size) {
    LibraryState& lib = library();
    lib.log_buffer = text;
    lib.log_buffer_size = size;
    return 0;
}

int32_t set_error_window(HWND window) {
    library().error_window = window;
    return 0;
}

int32_t last_error() { return library().last_error; }

}  // namespace vlx
