// Registering a DLL of the build the way its README says: regsvr32 in a
// process of its own.
#pragma once

#include <windows.h>

#include <string>

namespace vlx_test {

// Runs `regsvr32 /s <arguments> <dll>` on `dll_name` next to the test
// program; its exit code (0: done).
DWORD regsvr32(const std::wstring& arguments, const wchar_t* dll_name);

}  // namespace vlx_test
