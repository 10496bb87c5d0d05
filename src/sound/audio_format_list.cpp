#include "enum/name_list.h"
#include "formats/device_capture_pin.h"
#include "library/library_state.h"
#include "library/list_budget.h"
#include "sound/audio_formats.h"
#include "sound/sound.h"

#include <functional>

namespace vlx::sound {

namespace {

struct FormatListCalls {
    DeviceCaptureCalls device;
    CapabilityCalls capabilities;
};

constexpr FormatListCalls kListCalls{
    {"vlx_GetAudioFormatList->CoCreateInstance(SystemDeviceEnum)",
     "vlx_GetAudioFormatList->CreateDevEnum->CreateClassEnumerator(AudioInputDeviceCategory)",
     "vlx_GetAudioFormatList->Moniker->BindToObject", "vlx_GetAudioFormatList->AudioCapture->EnumPins",
     "vlx_GetAudioFormatList.Pin.QueryInterface(IKsPropertySet)",
     "vlx_GetAudioFormatList->KsPropertySet->Get(AMPROPERTY_PIN_CATEGORY)",
     "vlx_GetAudioFormatList->CapturePin->QueryInterface(IAMStreamConfig)", &PIN_CATEGORY_CAPTURE,
     &CLSID_AudioInputDeviceCategory},
    {"vlx_GetAudioFormatList->AMStreamConfig->GetNumberOfCapabilities",
     "vlx_GetAudioFormatList->AMStreamConfig->GetStreamCaps"}};

constexpr FormatListCalls kSizeCalls{
    {"vlx_GetAudioFormatListSize->CoCreateInstance(SystemDeviceEnum)",
     "vlx_GetAudioFormatListSize->CreateDevEnum->CreateClassEnumerator(AudioInputDeviceCategory)",
     "vlx_GetAudioFormatListSize->Moniker->BindToObject", "vlx_GetAudioFormatListSize->AudioCapture->EnumPins",
     "vlx_GetAudioFormatListSize.Pin.QueryInterface(IKsPropertySet)",
     "vlx_GetAudioFormatListSize->KsPropertySet->Get(AMPROPERTY_PIN_CATEGORY)",
     "vlx_GetAudioFormatListSize->CapturePin->QueryInterface(IAMStreamConfig)", &PIN_CATEGORY_CAPTURE,
     &CLSID_AudioInputDeviceCategory},
    {"vlx_GetAudioFormatListSize->AMStreamConfig->GetNumberOfCapabilities",
     "vlx_GetAudioFormatListSize->AMStreamConfig->GetStreamCaps"}};

ListKey list_key(int32_t audio_index) { return {SizedList::audio_formats, audio_index}; }

// The one walk behind the list and its size: 0, or the failing step's code
// (those of vlx_GetFormatList).
int32_t visit_lines(int32_t audio_index, const FormatListCalls& calls,
                    const std::function<void(const std::string&)>& visit) {
    if (audio_index < 0) return -2;
    ComPtr<IAMStreamConfig> config;
    if (const int32_t failed = device_capture_config(audio_index, calls.device, config)) return failed;
    for (const AudioCapability& capability : read_audio_capabilities(config.get(), calls.capabilities))
        visit(format_line(capability));
    return 0;
}

}  // namespace

int32_t list_audio_formats(char* text, int32_t audio_index) {
    if (!library_initialised() || !text) return -1;
    ListText list(text, audio_index >= 0 ? size_answer(list_key(audio_index)) : std::nullopt);
    const int32_t failed = visit_lines(audio_index, kListCalls, [&](const std::string& line) { list.add(line); });
    return failed ? failed : list.count();
}

int32_t audio_format_list_size(int32_t audio_index) {
    if (!library_initialised()) return -1;
    ListSize size;
    const int32_t failed = visit_lines(audio_index, kSizeCalls, [&](const std::string& line) { size.add(line.size()); });
    const int32_t answer = failed ? failed : size.bytes();
    if (audio_index >= 0) remember_size_answer(list_key(audio_index), answer);
    return answer;
}

}  // namespace vlx::sound
