#include "enum/name_list.h"

#include <windows.h>

#include <cstring>

namespace vlx {

int32_t utf8_length(const wchar_t* name) {
    if (!name || !*name) return 0;
    const int with_nul = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    return with_nul > 0 ? with_nul - 1 : 0;
}

int32_t utf8_length(const wchar_t* name, int32_t units) {
    if (!name || units <= 0) return 0;
    const int length = WideCharToMultiByte(CP_UTF8, 0, name, units, nullptr, 0, nullptr, nullptr);
    return length > 0 ? length : 0;
}

NameListWriter::NameListWriter(char* text) : end_(text + std::strlen(text)) {}

void NameListWriter::add(const wchar_t* name) {
    const int32_t length = utf8_length(name);
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, name, -1, end_, length + 1, nullptr, nullptr);
        end_ += length;
    }
    std::memcpy(end_, "\r\n", 3);
    end_ += 2;
    ++count_;
}

}  // namespace vlx
