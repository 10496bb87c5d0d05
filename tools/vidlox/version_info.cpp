#include "version_info.h"

#include "report.h"

#include <vidlox.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tool {

namespace {

// "FileVersion (FileDescription)" of a module's version resource.
std::string describe(HMODULE module) {
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(module, path, MAX_PATH)) return "no file";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return "no version resource";
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) return "unreadable version resource";
    std::string text;
    for (const wchar_t* field : {L"FileVersion", L"FileDescription"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + field;
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
            continue;
        char converted[256] = {};
        WideCharToMultiByte(CP_UTF8, 0, value, -1, converted, sizeof converted - 1, nullptr, nullptr);
        text += text.empty() ? converted : std::string(" (") + converted + ")";
    }
    return text.empty() ? "no version strings" : text;
}

}  // namespace

int print_versions() {
    std::printf("vidlox.exe    %s\n", describe(nullptr).c_str());
    std::printf("vidlox64.dll  %s, vlx_Version %d\n", describe(GetModuleHandleW(L"vidlox64.dll")).c_str(),
                vlx_Version());
    return exit_ok;
}

}  // namespace tool
