// Lists written into host buffers: lines, each followed by CR LF, appended
// to the NUL-terminated text already there. The name list (device, codec
// and filter names) is one kind; every list and its size query count the
// same bytes, so a buffer of the reported size always holds the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vlx {

// Byte length of `name` in UTF-8, without terminator. Names are converted
// whole, however long; a null name counts as empty.
int32_t utf8_length(const wchar_t* name);
// The same for the first `units` UTF-16 code units of `name`.
int32_t utf8_length(const wchar_t* name, int32_t units);
// `name` in UTF-8 (empty for a null name).
std::string utf8_of(const wchar_t* name);

// Appends lines within an optional budget: the bytes, terminator included,
// that the host's last size query of this list answered (list_budget.h).
// Lines are written whole; the first one that does not fit ends the list,
// so that line k of what was written is always entry k.
class ListText {
public:
    ListText(char* text, std::optional<int32_t> budget);
    // Appends `line` and CR LF; false, with nothing written, once the
    // budget has ended the list.
    bool add(std::string_view line);
    // Whether a line of this length would still be written.
    bool fits(size_t line_length) const;
    int32_t count() const { return count_; }

private:
    char* end_;
    std::optional<int64_t> left_;  // bytes still allowed, terminator included
    int32_t count_ = 0;
    bool ended_ = false;
};

// Adds up what ListText appends, plus the terminator.
class ListSize {
public:
    void add(size_t line_length) { bytes_ += static_cast<int64_t>(line_length) + 2; }
    int32_t bytes() const;

private:
    int64_t bytes_ = 0;
};

// The name list: each name as UTF-8.
class NameListWriter {
public:
    NameListWriter(char* text, std::optional<int32_t> budget) : text_(text, budget) {}
    void add(const wchar_t* name) { text_.add(utf8_of(name)); }
    int32_t count() const { return text_.count(); }

private:
    ListText text_;
};

class NameListSizer {
public:
    void add(const wchar_t* name) { size_.add(static_cast<size_t>(utf8_length(name))); }
    int32_t size() const { return size_.bytes(); }

private:
    ListSize size_;
};

}  // namespace vlx
