#include "support/regsvr32.h"

namespace vlx_test {

DWORD regsvr32(const std::wstring& arguments, const wchar_t* dll_name) {
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring path(program);
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + dll_name;
    std::wstring command = L"regsvr32.exe /s " + arguments + L" \"" + path + L"\"";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    DWORD code = 1;
    // A registration that hangs fails the caller instead of outliving it.
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, code);
    else
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

}  // namespace vlx_test
