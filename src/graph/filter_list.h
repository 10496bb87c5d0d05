// The names of the filters in the active slot's graph, as a name list.
#pragma once

#include <cstdint>

namespace vlx {

// Longest UTF-8 form of a filter name in the list: the name's 256-byte
// conversion area less its terminator. Longer names are cut at the last
// whole character that fits.
inline constexpr int32_t kFilterNameBytes = 255;

// vlx_StreamFilterList: appends the names; the number of filters listed.
int32_t list_filters(char* text);
// vlx_GetStreamFilterListSize: the bytes that list needs in an empty buffer.
int32_t filter_list_size();

}  // namespace vlx
