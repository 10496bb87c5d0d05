// Reading the CR LF lists the library writes.
#pragma once

#include <string>
#include <vector>

namespace vlx_test {

// The entries of a list in which every entry, the last included, ends with
// CR LF; text after the last CR LF is left out.
std::vector<std::string> split_lines(const std::string& text);
// `text` written `times` times in a row.
template <class Text>
Text repeated(const Text& text, int times) {
    Text result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

}  // namespace vlx_test
