// vlx_GetStillFormatList and its size query: every capability of a video
// device's still pin, one line each, as the capture formats list the
// capture pin's.
#include "stills/stills.h"

#include "enum/name_list.h"
#include "formats/capabilities.h"
#include "formats/capability_table.h"
#include "formats/device_capture_pin.h"
#include "formats/format_codes.h"
#include "formats/subtype_text.h"
#include "library/library_state.h"
#include "library/list_budget.h"

#include <functional>
#include <string>

namespace vlx {

namespace {

struct StillListCalls {
    DeviceCaptureCalls device;
    const char* count;
    const char* stream_caps;
};

constexpr StillListCalls kListCalls{
    {"vlx_GetStillFormatList->CoCreateInstance(SystemDeviceEnum)",
     "vlx_GetStillFormatList->CreateDevEnum->CreateClassEnumerator(VideoInputDeviceCategory)",
     "vlx_GetStillFormatList->Moniker->BindToObject", "vlx_GetStillFormatList->DeviceFilter->EnumPins",
     "vlx_GetStillFormatList.Pin.QueryInterface(IKsPropertySet)",
     "vlx_GetStillFormatList->KsPropertySet->Get(AMPROPERTY_PIN_CATEGORY)",
     "vlx_GetStillFormatList->StillPin->QueryInterface(IAMStreamConfig)", &PIN_CATEGORY_STILL},
    "vlx_GetStillFormatList->AMStreamConfig->GetNumberOfCapabilities",
    "vlx_GetStillFormatList->AMStreamConfig->GetStreamCaps"};

constexpr StillListCalls kSizeCalls{
    {"vlx_GetStillFormatListSize->CoCreateInstance(SystemDeviceEnum)",
     "vlx_GetStillFormatListSize->CreateDevEnum->CreateClassEnumerator(VideoInputDeviceCategory)",
     "vlx_GetStillFormatListSize->Moniker->BindToObject", "vlx_GetStillFormatListSize->DeviceFilter->EnumPins",
     "vlx_GetStillFormatListSize.Pin.QueryInterface(IKsPropertySet)",
     "vlx_GetStillFormatListSize->KsPropertySet->Get(AMPROPERTY_PIN_CATEGORY)",
     "vlx_GetStillFormatListSize->StillPin->QueryInterface(IAMStreamConfig)", &PIN_CATEGORY_STILL},
    "vlx_GetStillFormatListSize->AMStreamConfig->GetNumberOfCapabilities",
    "vlx_GetStillFormatListSize->AMStreamConfig->GetStreamCaps"};

ListKey still_list_key(int32_t device_index) { return {SizedList::still_formats, device_index}; }

// "WIDTH HEIGHT SUBTYPE INDEX KIND": the size first, which is what a host
// chooses a still by.
std::string still_line(const FormatCapability& capability) {
    return std::to_string(capability.width) + " " + std::to_string(capability.height) + " " +
           subtype_text(capability.subtype) + " " + std::to_string(capability.index) + " " +
           format_block_name(capability.block);
}

// The one walk behind the list and its size. A device without a still pin
// lists nothing: its stills are capture frames.
int32_t visit_still_lines(int32_t device_index, const StillListCalls& calls,
                          const std::function<void(const std::string&)>& visit) {
    if (device_index < 0) return kListNegativeIndex;
    ComPtr<IAMStreamConfig> config;
    const int32_t found = device_capture_config(device_index, calls.device, config);
    if (found == kListNoCapturePin) return 0;
    if (found) return found;
    const CapabilityCount caps = count_capabilities(config.get(), calls.count);
    if (FAILED(caps.status)) return kListCountFailed;
    if (caps.block_size != kCapsBlockSize) return kListNotAVideoPin;
    const CapabilityTable table = read_capability_table(config.get(), caps.count, calls.stream_caps);
    for (const FormatCapability& capability : table.descriptions) visit(still_line(capability));
    return 0;
}

}  // namespace

int32_t list_still_formats(char* text, int32_t device_index) {
    if (!library_initialised() || !text) return kListNotInitialised;
    ListText list(text, device_index >= 0 ? size_answer(still_list_key(device_index)) : std::nullopt);
    const int32_t failed = visit_still_lines(device_index, kListCalls, [&](const std::string& line) { list.add(line); });
    return failed ? failed : list.count();
}

int32_t still_format_list_size(int32_t device_index) {
    if (!library_initialised()) return kListNotInitialised;
    ListSize size;
    const int32_t failed =
        visit_still_lines(device_index, kSizeCalls, [&](const std::string& line) { size.add(line.size()); });
    const int32_t answer = failed ? failed : size.bytes();
    if (device_index >= 0) remember_size_answer(still_list_key(device_index), answer);
    return answer;
}

}  // namespace vlx
