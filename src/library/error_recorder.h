// The error recorder: every reported platform call of the capture side ends
// here with its constant context string and its status code.
#pragma once

#include <windows.h>

namespace vlx {

// Window message posted to the host's error window for a failure code.
inline constexpr UINT kErrorMessage = 0x8765;  // 34661

// Stores `status` as the last error, appends a log line when the log level
// asks for it and posts kErrorMessage for codes that count as failures.
// Never fails and never changes the caller's flow.
void record_status(const char* context, HRESULT status) noexcept;

}  // namespace vlx
