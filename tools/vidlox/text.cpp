#include "text.h"

#include <windows.h>
#include <shellapi.h>

namespace tool {

std::wstring utf16(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(), length);
    return result;
}

std::string utf8(const std::wstring& utf16) {
    if (utf16.empty()) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

bool ansi(const std::string& utf8_text, std::string& out) {
    const std::wstring wide = utf16(utf8_text);
    BOOL lossy = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    out.assign(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), length, nullptr, &lossy);
    return !lossy;
}

std::vector<std::string> split_name_list(const std::string& list) {
    std::vector<std::string> names;
    for (size_t start = 0; start < list.size();) {
        const size_t end = list.find("\r\n", start);
        if (end == std::string::npos) break;
        names.push_back(list.substr(start, end - start));
        start = end + 2;
    }
    return names;
}

std::vector<std::string> command_line_arguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i) arguments.push_back(utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace tool
