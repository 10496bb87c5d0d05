#include "support/text_lines.h"

namespace vlx_test {

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) return lines;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

}  // namespace vlx_test
