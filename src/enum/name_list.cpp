#include "enum/name_list.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <cwchar>

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

std::string utf8_of(const wchar_t* name) {
    // Converted without its terminator: the string holds exactly the bytes
    // utf8_length counts, and a conversion told of no room for a NUL would
    // fail (ERROR_INSUFFICIENT_BUFFER) with its output undefined.
    const size_t units = name ? std::wcslen(name) : 0;
    if (units == 0 || units > static_cast<size_t>(INT_MAX)) return {};
    std::string text(static_cast<size_t>(utf8_length(name)), '\0');
    const int written = text.empty() ? 0
                                     : WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(units), text.data(),
                                                           static_cast<int>(text.size()), nullptr, nullptr);
    if (written != static_cast<int>(text.size())) return {};
    return text;
}

ListText::ListText(char* text, std::optional<int32_t> budget) : end_(text + std::strlen(text)) {
    if (budget) left_ = *budget;
}

bool ListText::fits(size_t line_length) const {
    if (ended_) return false;
    // The line, its CR LF and the terminator that follows it.
    return !left_ || static_cast<int64_t>(line_length) + 3 <= *left_;
}

bool ListText::add(std::string_view line) {
    if (!fits(line.size())) {
        ended_ = true;
        return false;
    }
    std::memcpy(end_, line.data(), line.size());
    end_ += line.size();
    std::memcpy(end_, "\r\n", 3);
    end_ += 2;
    if (left_) *left_ -= static_cast<int64_t>(line.size()) + 2;
    ++count_;
    return true;
}

int32_t ListSize::bytes() const {
    const int64_t total = bytes_ + 1;
    return total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
}

}  // namespace vlx
