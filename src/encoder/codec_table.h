// Output subtype and extra attribute for each codec number.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace vlx {

struct CodecChoice {
    GUID subtype;
    bool asf_container;    // codec 0: MF_TRANSCODE_CONTAINERTYPE = ASF
    UINT32 profile;        // otherwise: MF_MT_MPEG2_PROFILE
};

// Codecs 4 and 6 name no format: none.
std::optional<CodecChoice> codec_choice(int32_t codec);

}  // namespace vlx
