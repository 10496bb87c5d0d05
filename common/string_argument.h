// String arguments that a host may pass as small integers.
#pragma once

#include <windows.h>

namespace vlx {

// Whether `text`, given where the address of a string belongs, is a value
// from 1 to 65535. Such a value is never an address on Windows (the lowest
// 64 KiB are never mapped) and the platform's string-taking functions read
// it as a resource number (MAKEINTRESOURCE). The library has no string
// resources: it reads such an argument as no string and never dereferences
// it.
inline bool is_resource_number(const void* text) { return text != nullptr && IS_INTRESOURCE(text); }

}  // namespace vlx
