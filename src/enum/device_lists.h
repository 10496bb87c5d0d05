// Names of capture devices and compressors, and their size queries.
#pragma once

#include <cstdint>

namespace vlx {

int32_t list_devices(char* text, int32_t kind);
int32_t device_list_size(int32_t kind);
int32_t list_codecs(char* text, int32_t kind);
int32_t codec_list_size(int32_t kind);

}  // namespace vlx
