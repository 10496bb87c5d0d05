// Names of status codes as they appear in the log.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vlx {

// Writes the status name of `status` (NUL-terminated, truncated to fit) and
// returns its full length in bytes. Names are ASCII except two code page 932
// texts.
int format_status_name(HRESULT status, char* out, size_t out_size);

}  // namespace vlx
