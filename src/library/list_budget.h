// What each list's size query last answered.
//
// A list can grow between the size query a host sizes its buffer with and
// the call that fills the buffer: a camera plugged in, a codec installed.
// Every size query records its answer here, and the listing then writes no
// more bytes than that answer (terminator included). A list the host never
// sized has no budget and is written whole, as the listing functions always
// did.
#pragma once

#include <cstdint>
#include <optional>

namespace vlx {

enum class SizedList : int32_t {
    video_devices,       // argument: none (0)
    audio_devices,
    video_codecs,
    audio_codecs,
    filters,             // argument: the slot
    capability_rates,    // argument: the slot
    capability_widths,
    capability_heights,
    controls,            // argument: the slot
    formats,             // argument: the device index
    video_device_paths,  // argument: none (0)
    audio_device_paths,
    profile_report,      // argument: the slot
    still_formats,       // argument: the device index
    audio_formats,       // argument: the audio device index
    count
};

struct ListKey {
    SizedList list;
    int32_t argument = 0;
};

// Records a size query's answer; an answer below 1 (a refusal) forgets the
// list's budget, since the host was given no size.
void remember_size_answer(ListKey key, int32_t answer);

// The budget of a listing: the last size its query answered, if any.
std::optional<int32_t> size_answer(ListKey key);

}  // namespace vlx
