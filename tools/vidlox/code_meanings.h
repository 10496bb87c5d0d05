// Meanings of the library's return codes, generated at build time from the
// comments of include/vidlox.h (header_codes.py), so that the tool explains a
// code with the header's own words and never keeps a second copy of them.
#pragma once

#include <cstdint>

struct vlx_code_meaning {
    const char* function;
    int32_t code;
    const char* meaning;
};

// Ends with an entry whose function is null.
extern const vlx_code_meaning vlx_code_meanings[];

// The header's meaning of `code` returned by `function`, or null.
const char* code_meaning(const char* function, int32_t code);
