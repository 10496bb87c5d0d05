// The name list: UTF-8 names, each followed by CR LF, appended to the
// NUL-terminated text in a host buffer. The listing and its size query use
// the same conversion, so a buffer of the reported size always holds the list.
#pragma once

#include <cstdint>

namespace vlx {

// Byte length of `name` in UTF-8, without terminator. Names are converted
// whole, however long; a null name counts as empty.
int32_t utf8_length(const wchar_t* name);
// The same for the first `units` UTF-16 code units of `name`.
int32_t utf8_length(const wchar_t* name, int32_t units);

// Appends names to the text already in a host buffer.
class NameListWriter {
public:
    explicit NameListWriter(char* text);
    void add(const wchar_t* name);
    int32_t count() const { return count_; }

private:
    char* end_;
    int32_t count_ = 0;
};

// Adds up what NameListWriter would append, plus the terminator.
class NameListSizer {
public:
    void add(const wchar_t* name) { size_ += utf8_length(name) + 2; }
    int32_t size() const { return size_ + 1; }

private:
    int32_t size_ = 0;
};

}  // namespace vlx
