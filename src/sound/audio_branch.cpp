#include "sound/audio_branch.h"

#include "common/media_type.h"
#include "common/variant.h"
#include "enum/category_names.h"
#include "library/in_use_results.h"
#include "library/platform_call.h"
#include "sound/audio_slots.h"
#include "sound/sound_codes.h"

#include <cwchar>

namespace vlx::sound {

namespace {

// Audio buffers of about this length, so that the first block does not lag
// the first frame by the driver's default half second.
constexpr int32_t kBufferMs = 40;

bool is_ok(HRESULT status) { return status == S_OK; }
bool is_file_mode(int32_t render_mode) { return render_mode == kAviWithNullRenderer || render_mode == kAviWithPreview; }

// The moniker `choice` names in the audio input category, bound and added
// to the graph as "Audio Capture".
int32_t add_device(Slot& slot, const AudioChoice& choice, ComPtr<IBaseFilter>& device) {
    ComPtr<ICreateDevEnum> device_enum;
    if (!is_ok(reported_call("vlx_Open->CoCreateInstance(SystemDeviceEnum, Audio)", [&] {
            return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                    device_enum.put_void());
        })))
        return kOpenNoAudioDevice;
    ComPtr<IEnumMoniker> monikers;
    reported_call("vlx_Open->CreateDevEnum->CreateClassEnumerator(AudioInputDeviceCategory)", [&] {
        return device_enum->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, monikers.put(), 0);
    });
    if (!monikers) return kOpenNoAudioDevice;
    ComPtr<IMoniker> moniker;
    for (int32_t position = 0; monikers->Next(1, moniker.put(), nullptr) == S_OK; ++position) {
        if (!moniker) continue;
        if (choice.path.empty() && position != choice.index) continue;
        if (!choice.path.empty()) {
            ComPtr<IPropertyBag> bag;
            platform_call("vlx_Open.Moniker.BindToStorage(Audio)", [&] {
                return moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void());
            });
            if (moniker_path(moniker.get(), bag.get(), "vlx_Open->Moniker->GetDisplayName(Audio)") != choice.path)
                continue;
        }
        if (!is_ok(reported_call("vlx_Open->Moniker->BindToObject(Audio)", [&] {
                return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, device.put_void());
            })) ||
            !device)
            return kOpenAudioNotAdded;
        if (!is_ok(reported_call("vlx_Open->GraphBuilder->AddFilter(AudioCapture)",
                                 [&] { return slot.graph_builder->AddFilter(device.get(), L"Audio Capture"); })))
            return kOpenAudioNotAdded;
        return 0;
    }
    return kOpenNoAudioDevice;
}

// The requested format, exact or (with the slot's format choice
// VLX_FORMAT_CHOICE_NEAREST) the nearest, set on the capture pin.
int32_t apply_format(const Slot& slot, IAMStreamConfig* config, const AudioFormat& wanted) {
    if (!config) return kOpenFormatNotOffered;
    const std::vector<AudioCapability> offered =
        read_audio_capabilities(config, {"vlx_Open->AMStreamConfig->GetNumberOfCapabilities(Audio)",
                                         "vlx_Open->AMStreamConfig->GetStreamCaps(Audio)"});
    const std::optional<AudioCapability> chosen =
        choose_capability(offered, wanted, slot.format_choice == VLX_FORMAT_CHOICE_NEAREST);
    if (!chosen) return kOpenFormatNotOffered;
    MediaTypePtr type;
    std::vector<BYTE> caps(sizeof(AUDIO_STREAM_CONFIG_CAPS));
    if (!is_ok(reported_call("vlx_Open->AMStreamConfig->GetStreamCaps(AudioChoice)",
                             [&] { return config->GetStreamCaps(chosen->index, type.put(), caps.data()); })) ||
        !type)
        return kOpenFormatRefused;
    if (!is_ok(reported_call("vlx_Open->AMStreamConfig->SetFormat(Audio)", [&] { return config->SetFormat(type.get()); })))
        return kOpenFormatRefused;
    return 0;
}

int32_t add_grabber(Slot& slot, AudioBranch& branch) {
    if (!is_ok(reported_call("vlx_Open->CoCreateInstance(SampleGrabber, Audio)", [&] {
            return CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    branch.grabber_filter.put_void());
        })) ||
        !is_ok(reported_call("vlx_Open->AudioSampleGrabber->QueryInterface(ISampleGrabber)",
                             [&] { return branch.grabber_filter.query(branch.grabber); })))
        return kOpenAudioGrabber;
    AM_MEDIA_TYPE audio{};
    audio.majortype = MEDIATYPE_Audio;
    if (!is_ok(reported_call("vlx_Open->AudioSampleGrabber->SetMediaType",
                             [&] { return branch.grabber->SetMediaType(&audio); })) ||
        !is_ok(reported_call("vlx_Open->GraphBuilder->AddFilter(AudioSampleGrabber)", [&] {
            return slot.graph_builder->AddFilter(branch.grabber_filter.get(), L"Audio Sample Grabber");
        })))
        return kOpenAudioGrabber;
    return 0;
}

// Into the AVI file's multiplexer, or (no file) into a Null Renderer of its own.
int32_t render(Slot& slot, AudioBranch& branch, int32_t render_mode) {
    IBaseFilter* sink = slot.avi_mux.get();
    if (!is_file_mode(render_mode) || !sink) {
        if (!is_ok(reported_call("vlx_Open->CoCreateInstance(NullRenderer, Audio)", [&] {
                return CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                        branch.renderer.put_void());
            })) ||
            !is_ok(reported_call("vlx_Open->GraphBuilder->AddFilter(AudioNullRenderer)", [&] {
                return slot.graph_builder->AddFilter(branch.renderer.get(), L"Audio Null Renderer");
            })))
            return kOpenAudioNotRendered;
        sink = branch.renderer.get();
    }
    if (FAILED(reported_call("vlx_Open->CaptureGraphBuilder2->RenderStream(Audio)", [&] {
            return slot.capture_builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, branch.device.get(),
                                                      branch.grabber_filter.get(), sink);
        })))
        return kOpenAudioNotRendered;
    MediaType connected;
    if (!is_ok(reported_call("vlx_Open->AudioSampleGrabber->GetConnectedMediaType",
                             [&] { return branch.grabber->GetConnectedMediaType(connected.get()); })))
        return kOpenAudioNotRendered;
    const std::optional<AudioFormat> format = wave_format_of(*connected.get());
    if (!format) return kOpenAudioNotRendered;
    branch.format = *format;
    return 0;
}

// The mux's inputs with a connection: the audio stream is the last of them.
LONG connected_inputs(IBaseFilter* mux) {
    LONG count = 0;
    ComPtr<IEnumPins> pins;
    if (FAILED(mux->EnumPins(pins.put())) || !pins) return 0;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_INPUT &&
            SUCCEEDED(pin->ConnectedTo(peer.put())))
            ++count;
    }
    return count;
}

// Sync as DirectShow does it on Windows: the audio device's clock for the
// whole graph, the audio as the file's master stream, capture interleaving.
// Each call is reported; a platform without one records without it.
void synchronise(Slot& slot, AudioBranch& branch, int32_t render_mode) {
    ComPtr<IReferenceClock> clock;
    platform_call("vlx_Open.AudioCapture.QueryInterface(IReferenceClock)",
                  [&] { return branch.device.query(clock); });
    ComPtr<IMediaFilter> graph;
    if (clock && is_ok(reported_call("vlx_Open->GraphBuilder->QueryInterface(MediaFilter)",
                                     [&] { return slot.graph_builder.query(graph); })))
        reported_call("vlx_Open->MediaFilter->SetSyncSource(AudioClock)", [&] { return graph->SetSyncSource(clock.get()); });
    if (!is_file_mode(render_mode) || !slot.avi_mux) return;
    ComPtr<IConfigAviMux> mux;
    if (is_ok(reported_call("vlx_Open->AviMux->QueryInterface(ConfigAviMux)", [&] { return slot.avi_mux.query(mux); }))) {
        const LONG audio_stream = connected_inputs(slot.avi_mux.get()) - 1;
        reported_call("vlx_Open->ConfigAviMux->SetMasterStream(Audio)", [&] { return mux->SetMasterStream(audio_stream); });
    }
    ComPtr<IConfigInterleaving> interleaving;
    if (is_ok(reported_call("vlx_Open->AviMux->QueryInterface(ConfigInterleaving)",
                            [&] { return slot.avi_mux.query(interleaving); })))
        reported_call("vlx_Open->ConfigInterleaving->put_Mode(Capture)",
                      [&] { return interleaving->put_Mode(INTERLEAVE_CAPTURE); });
}

// A device another program holds fails as it leaves Stopped: tried here,
// alone, so that vlx_Open refuses it before the graph runs.
int32_t acquire(AudioBranch& branch) {
    const HRESULT paused = reported_call("vlx_Open->AudioCapture->Pause", [&] { return branch.device->Pause(); });
    reported_call("vlx_Open->AudioCapture->Stop", [&] { return branch.device->Stop(); });
    if (SUCCEEDED(paused)) return 0;
    return means_in_use(paused) ? kOpenAudioInUse : kOpenAudioDidNotStart;
}

int32_t build(Slot& slot, SlotSound& sound, int32_t render_mode, AudioBranch& branch) {
    if (const int32_t failed = add_device(slot, sound.choice, branch.device)) return failed;
    slot.audio_device = branch.device;
    reported_call("vlx_Open->CaptureGraphBuilder2->FindInterface(AudioStreamConfig)", [&] {
        return slot.capture_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, branch.device.get(),
                                                   IID_IAMStreamConfig, branch.config.put_void());
    });
    if (sound.requested) {
        if (const int32_t failed = apply_format(slot, branch.config.get(), *sound.requested)) return failed;
    }
    suggest_buffers(slot, branch, "vlx_Open->CaptureGraphBuilder2->FindInterface(AMBufferNegotiation)",
                    "vlx_Open->AMStreamConfig->GetFormat(Audio)", "vlx_Open->AMBufferNegotiation->SuggestAllocatorProperties");
    if (const int32_t failed = add_grabber(slot, branch)) return failed;
    if (const int32_t failed = render(slot, branch, render_mode)) return failed;
    synchronise(slot, branch, render_mode);
    return acquire(branch);
}

class AudioBranchBuilder final : public GraphExtension {
public:
    int32_t extend(int32_t index, Slot& slot, int32_t render_mode) override {
        SlotSound& sound = slot_sound(index);
        sound.branch.reset();
        if (!sound.choice.chosen()) return 0;
        AudioBranch branch;
        if (const int32_t failed = build(slot, sound, render_mode, branch)) return failed;
        // The blocks: the grabber's callback for the whole life of the graph.
        branch.blocks = ComPtr<AudioBlocks>::adopt(AudioBlocks::create(index, branch.format));
        if (!branch.blocks ||
            !is_ok(reported_call("vlx_Open->AudioSampleGrabber->SetCallback",
                                 [&] { return branch.grabber->SetCallback(branch.blocks.get(), 0); })))
            return kOpenAudioGrabber;
        sound.branch = std::move(branch);
        return 0;
    }
};

}  // namespace

void suggest_buffers(Slot& slot, AudioBranch& branch, const char* find_context, const char* format_context,
                     const char* suggest_context) {
    ComPtr<IAMBufferNegotiation> negotiation;
    reported_call(find_context, [&] {
        return slot.capture_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, branch.device.get(),
                                                   IID_IAMBufferNegotiation, negotiation.put_void());
    });
    if (!negotiation || !branch.config) return;
    AM_MEDIA_TYPE* current = nullptr;
    if (!is_ok(reported_call(format_context, [&] { return branch.config->GetFormat(&current); })) || !current) return;
    const std::optional<AudioFormat> format = wave_format_of(*current);
    delete_media_type(current);
    if (!format) return;
    ALLOCATOR_PROPERTIES wanted{-1, bytes_for_ms(*format, kBufferMs), -1, -1};
    reported_call(suggest_context, [&] { return negotiation->SuggestAllocatorProperties(&wanted); });
}

GraphExtension& audio_branch_builder() {
    static AudioBranchBuilder builder;
    return builder;
}

}  // namespace vlx::sound
