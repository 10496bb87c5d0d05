// The PCM formats of an audio capture pin (IAMStreamConfig, one line per
// capability) and the choice of one for a request.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vlx::sound {

struct AudioFormat {
    int32_t rate = 0;
    int32_t channels = 0;
    int32_t bits = 0;
    bool operator==(const AudioFormat&) const = default;
};

struct AudioCapability {
    int32_t index;  // the capability's position on the pin
    AudioFormat format;
};

struct CapabilityCalls {
    const char* count;        // AMStreamConfig->GetNumberOfCapabilities
    const char* stream_caps;  // AMStreamConfig->GetStreamCaps
};

// Every capability whose type is WAVEFORMATEX, in the pin's order.
std::vector<AudioCapability> read_audio_capabilities(IAMStreamConfig* config, const CapabilityCalls& calls);

// "INDEX RATE CHANNELS BITS", the list's line for a capability.
std::string format_line(const AudioCapability& capability);

// The capability a request names: the one equal to it, or with `nearest`
// the closest (rate first, then channels, then bits). None when there is
// none to choose from (or none equal).
std::optional<AudioCapability> choose_capability(const std::vector<AudioCapability>& capabilities,
                                                 const AudioFormat& wanted, bool nearest);

// The format a connection or GetFormat type states, when it is WAVEFORMATEX.
std::optional<AudioFormat> wave_format_of(const AM_MEDIA_TYPE& type);

// Bytes of `duration_ms` of `format`, whole sample frames.
int32_t bytes_for_ms(const AudioFormat& format, int32_t duration_ms);

}  // namespace vlx::sound
