// The call stack of a thread that crashed or hangs, printed as module+offset
// lines (resolve them with the module's symbols: x86_64-w64-mingw32-nm), so
// that a long random run names where a fault happened without a debugger.
#pragma once

#include <windows.h>

namespace vlx_test {

// Walks the stack from `context` (unwind data of each module) and prints up
// to 32 frames to stderr.
void print_stack(const CONTEXT& context);

// The same for another thread of this process: suspends it, reads its
// context, prints, resumes it.
void print_thread_stack(HANDLE thread);

}  // namespace vlx_test
