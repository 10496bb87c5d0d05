// What the library keeps about each slot's sound, beside the slot table:
// the audio device and format the host chose for the next vlx_Open (kept
// across vlx_Close, like the requested video format), and the audio branch
// of the graph while the slot is open with one. The host's thread only.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "sound/audio_blocks.h"
#include "sound/audio_formats.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vlx::sound {

struct AudioChoice {
    int32_t index = -1;  // in the audio device list; -1 none (or by path)
    std::wstring path;   // a device path instead of an index, when not empty
    bool chosen() const { return index >= 0 || !path.empty(); }
};

// The audio part of an open slot's graph, and what was chosen for it.
struct AudioBranch {
    ComPtr<IBaseFilter> device;
    ComPtr<IAMStreamConfig> config;  // of its capture pin; may be missing
    ComPtr<IBaseFilter> grabber_filter;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IBaseFilter> renderer;  // modes without a file: the audio's Null Renderer
    ComPtr<AudioBlocks> blocks;
    AudioFormat format;  // the capture pin's connected format
};

struct SlotSound {
    AudioChoice choice;
    std::optional<AudioFormat> requested;  // vlx_SetAudioFormat; none: the device's own
    std::optional<AudioBranch> branch;     // while the slot is open with an audio device
};

SlotSound& slot_sound(int32_t slot);
SlotSound& active_sound();

}  // namespace vlx::sound
