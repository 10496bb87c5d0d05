#include "common/media_type.h"
#include "common/string_argument.h"
#include "library/library_state.h"
#include "library/platform_call.h"
#include "sound/audio_branch.h"
#include "sound/audio_slots.h"
#include "sound/sound.h"
#include "sound/sound_codes.h"

#include <string>

namespace vlx::sound {

namespace {

// The pin's peer is the platform's Sample Grabber, which does not follow a
// new input type (docs/wine-platform.md): a device that reconnected its pin
// itself would leave the grabber's output in the old format. So the branch
// is taken apart, the format set on the idle pin, and the branch rendered
// again between the same pins.
int32_t connect_again_with(Slot& slot, AudioBranch& branch, AM_MEDIA_TYPE* type) {
    ComPtr<IPin> pins[2];
    platform_call("vlx_SetAudioFormat.CaptureGraphBuilder2.FindPin(AudioCapture)", [&] {
        return slot.capture_builder->FindPin(branch.device.get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE,
                                             &MEDIATYPE_Audio, FALSE, 0, pins[0].put());
    });
    platform_call("vlx_SetAudioFormat.CaptureGraphBuilder2.FindPin(AudioSampleGrabber)", [&] {
        return slot.capture_builder->FindPin(branch.grabber_filter.get(), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 0,
                                             pins[1].put());
    });
    ComPtr<IPin> peers[2];
    for (size_t i = 0; i < 2; ++i) {
        if (!pins[i] || FAILED(pins[i]->ConnectedTo(peers[i].put())) || !peers[i]) return kFormatRefused;
        reported_call("vlx_SetAudioFormat->GraphBuilder->Disconnect(AudioBranch)",
                      [&] { return slot.graph_builder->Disconnect(pins[i].get()); });
        reported_call("vlx_SetAudioFormat->GraphBuilder->Disconnect(AudioBranch)",
                      [&] { return slot.graph_builder->Disconnect(peers[i].get()); });
    }
    const HRESULT set =
        reported_call("vlx_SetAudioFormat->AMStreamConfig->SetFormat", [&] { return branch.config->SetFormat(type); });
    suggest_buffers(slot, branch, "vlx_SetAudioFormat->CaptureGraphBuilder2->FindInterface(AMBufferNegotiation)",
                    "vlx_SetAudioFormat->AMStreamConfig->GetFormat",
                    "vlx_SetAudioFormat->AMBufferNegotiation->SuggestAllocatorProperties");
    // The same connections again: the device's pin now offers the new format only.
    HRESULT rendered = S_OK;
    for (size_t i = 0; i < 2 && SUCCEEDED(rendered); ++i) {
        rendered = reported_call("vlx_SetAudioFormat->GraphBuilder->ConnectDirect(AudioBranch)", [&] {
            return slot.graph_builder->ConnectDirect(pins[i].get(), peers[i].get(), nullptr);
        });
    }
    return set == S_OK && SUCCEEDED(rendered) ? 0 : kFormatRefused;
}

}  // namespace

int32_t set_audio_device(int32_t audio_index) {
    if (!library_initialised()) return -1;
    if (audio_index < -1) return -2;
    active_sound().choice = AudioChoice{audio_index, {}};
    return 0;
}

int32_t set_audio_device_path(const char* path) {
    if (!library_initialised() || is_resource_number(path)) return -1;
    std::wstring wide;
    if (path && *path) {
        const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
        if (units <= 0) return -2;
        wide.resize(static_cast<size_t>(units));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), units);
        wide.resize(static_cast<size_t>(units - 1));
    }
    active_sound().choice = AudioChoice{-1, std::move(wide)};
    return 0;
}

// Stored for the next vlx_Open; on an open, stopped slot with an audio
// device, set on its capture pin now (which reconnects it).
int32_t set_audio_format(int32_t rate, int32_t channels, int32_t bits) {
    if (!library_initialised()) return kFormatNotInitialised;
    if (rate < 0 || channels < 0 || bits < 0) return kFormatNegative;
    SlotSound& sound = active_sound();
    const Slot& slot = active_slot();
    if (rate == 0 && channels == 0 && bits == 0) {
        sound.requested.reset();
        return 0;
    }
    const AudioFormat wanted{rate, channels, bits};
    if (!slot.is_open() || !sound.branch) {
        sound.requested = wanted;
        return 0;
    }
    if (slot.is_running()) return kFormatRunning;
    AudioBranch& branch = *sound.branch;
    if (!branch.config) return kFormatNotOffered;
    const std::optional<AudioCapability> chosen = choose_capability(
        read_audio_capabilities(branch.config.get(), {"vlx_SetAudioFormat->AMStreamConfig->GetNumberOfCapabilities",
                                                      "vlx_SetAudioFormat->AMStreamConfig->GetStreamCaps"}),
        wanted, slot.format_choice == VLX_FORMAT_CHOICE_NEAREST);
    if (!chosen) return kFormatNotOffered;
    MediaTypePtr type;
    std::vector<BYTE> caps(sizeof(AUDIO_STREAM_CONFIG_CAPS));
    if (reported_call("vlx_SetAudioFormat->AMStreamConfig->GetStreamCaps(Choice)", [&] {
            return branch.config->GetStreamCaps(chosen->index, type.put(), caps.data());
        }) != S_OK ||
        !type)
        return kFormatRefused;
    if (const int32_t failed = connect_again_with(active_slot(), branch, type.get())) return failed;
    MediaType connected;
    if (reported_call("vlx_SetAudioFormat->AudioSampleGrabber->GetConnectedMediaType",
                      [&] { return branch.grabber->GetConnectedMediaType(connected.get()); }) == S_OK) {
        if (const std::optional<AudioFormat> now = wave_format_of(*connected.get())) branch.format = *now;
    }
    sound.requested = wanted;
    return 0;
}

int32_t get_audio_format(int32_t* rate, int32_t* channels, int32_t* bits) {
    if (!library_initialised() || !active_slot().is_open()) return kBlocksNotOpen;
    const SlotSound& sound = active_sound();
    if (!sound.branch) return kBlocksNoAudio;
    if (!rate || !channels || !bits) return kBlocksNullArgument;
    *rate = sound.branch->format.rate;
    *channels = sound.branch->format.channels;
    *bits = sound.branch->format.bits;
    return 0;
}

}  // namespace vlx::sound
