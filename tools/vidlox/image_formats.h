// The picture formats of vlx_SaveImage and vlx_SaveStill, told by a file's
// extension.
#pragma once

#include <cstdint>
#include <string>

namespace tool {

struct ImageFormat {
    const char* extension;
    int32_t format;  // vlx_SaveImage's format number
    const char* name;
};

// Quality when none is given: outside 0-100, so that no option is written
// and each encoder keeps its default (JPEG XR's is lossless).
constexpr int32_t encoder_default_quality = -1;

// The format of `file`'s extension, or null.
const ImageFormat* format_of(const std::string& file);

// Says that no format could be told from `file`; answers exit_usage.
int unknown_image_format(const std::string& file);

}  // namespace tool
