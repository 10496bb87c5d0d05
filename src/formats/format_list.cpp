#include "formats/format_list.h"

#include "formats/format_codes.h"

#include "enum/name_list.h"
#include "formats/capability_table.h"
#include "formats/device_capture_pin.h"
#include "formats/capabilities.h"
#include "library/library_state.h"
#include "library/list_budget.h"

#include <functional>
#include <string>

namespace vlx {

namespace {

struct FormatListCalls {
    DeviceCaptureCalls device;
    const char* count;
    const char* stream_caps;
};

constexpr FormatListCalls kListCalls{
    {"vlx_GetFormatList->CoCreateInstance(SystemDeviceEnum)",
     "vlx_GetFormatList->CreateDevEnum->CreateClassEnumerator(VideoInputDeviceCategory)",
     "vlx_GetFormatList->Moniker->BindToObject", "vlx_GetFormatList->DeviceFilter->EnumPins",
     "vlx_GetFormatList.Pin.QueryInterface(IKsPropertySet)",
     "vlx_GetFormatList->KsPropertySet->Get(AMPROPERTY_PIN_CATEGORY)",
     "vlx_GetFormatList->CapturePin->QueryInterface(IAMStreamConfig)"},
    "vlx_GetFormatList->AMStreamConfig->GetNumberOfCapabilities",
    "vlx_GetFormatList->AMStreamConfig->GetStreamCaps"};

constexpr FormatListCalls kSizeCalls{
    {"vlx_GetFormatListSize->CoCreateInstance(SystemDeviceEnum)",
     "vlx_GetFormatListSize->CreateDevEnum->CreateClassEnumerator(VideoInputDeviceCategory)",
     "vlx_GetFormatListSize->Moniker->BindToObject", "vlx_GetFormatListSize->DeviceFilter->EnumPins",
     "vlx_GetFormatListSize.Pin.QueryInterface(IKsPropertySet)",
     "vlx_GetFormatListSize->KsPropertySet->Get(AMPROPERTY_PIN_CATEGORY)",
     "vlx_GetFormatListSize->CapturePin->QueryInterface(IAMStreamConfig)"},
    "vlx_GetFormatListSize->AMStreamConfig->GetNumberOfCapabilities",
    "vlx_GetFormatListSize->AMStreamConfig->GetStreamCaps"};

ListKey format_list_key(int32_t device_index) { return {SizedList::formats, device_index}; }

// The one walk behind the list and its size: `visit` gets each line
// without its CR LF. 0, or the refusal of the failing step.
int32_t visit_format_lines(int32_t device_index, const FormatListCalls& calls,
                           const std::function<void(const std::string&)>& visit) {
    if (device_index < 0) return kListNegativeIndex;
    ComPtr<IAMStreamConfig> config;
    if (const int32_t failed = device_capture_config(device_index, calls.device, config)) return failed;
    const CapabilityCount caps = count_capabilities(config.get(), calls.count);
    if (FAILED(caps.status)) return kListCountFailed;
    if (caps.block_size != kCapsBlockSize) return kListNotAVideoPin;
    const CapabilityTable table = read_capability_table(config.get(), caps.count, calls.stream_caps);
    for (const FormatCapability& capability : table.descriptions) visit(format_line(capability));
    return 0;
}

}  // namespace

int32_t list_formats(char* text, int32_t device_index) {
    // A null buffer cannot receive a list; refused like an uninitialised library.
    if (!library_initialised() || !text) return kListNotInitialised;
    ListText list(text, device_index >= 0 ? size_answer(format_list_key(device_index)) : std::nullopt);
    const int32_t failed = visit_format_lines(device_index, kListCalls, [&](const std::string& line) { list.add(line); });
    return failed ? failed : list.count();
}

int32_t format_list_size(int32_t device_index) {
    if (!library_initialised()) return kListNotInitialised;
    ListSize size;
    const int32_t failed =
        visit_format_lines(device_index, kSizeCalls, [&](const std::string& line) { size.add(line.size()); });
    const int32_t answer = failed ? failed : size.bytes();
    if (device_index >= 0) remember_size_answer(format_list_key(device_index), answer);
    return answer;
}

}  // namespace vlx
