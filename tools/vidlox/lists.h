// The library's name lists (devices, compressors), read the way its header
// asks: size query first, then the list into a buffer of that size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

struct NameList {
    int32_t result = 0;  // the list function's result: a count, or its failure code
    const char* failed_function = nullptr;
    std::vector<std::string> names;
};

// kind 0: video, other: audio.
NameList device_list(int32_t kind);
NameList codec_list(int32_t kind);
// The devices' paths (vlx_GetDevicePathList), line k for device k.
NameList device_path_list(int32_t kind);
// The lines of vlx_GetStillFormatList of a device: "WIDTH HEIGHT SUBTYPE INDEX KIND".
NameList still_format_list(int32_t device_index);

// Whether a list result says "none installed" rather than a failure: the
// category has no enumerator.
bool none_installed(const NameList& list, bool codecs);

}  // namespace tool
