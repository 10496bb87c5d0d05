// The capture pin of a device named by its position in its device list
// (video, or audio where the calls say so), bound afresh: no slot needs to
// hold the device.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "library/platform_call.h"

#include <cstdint>

namespace vlx {

// Context strings of the reported calls, and the names of the probes that
// are not reported (a pin without a property set is simply no capture pin).
struct DeviceCaptureCalls {
    const char* create;          // CoCreateInstance(SystemDeviceEnum)
    const char* enumerate;       // CreateClassEnumerator(VideoInputDeviceCategory)
    const char* bind;            // Moniker->BindToObject
    const char* enum_pins;       // DeviceFilter->EnumPins
    StepName property_set;       // Pin.QueryInterface(IKsPropertySet)
    const char* pin_category;    // KsPropertySet->Get(AMPROPERTY_PIN_CATEGORY)
    const char* stream_config;   // CapturePin->QueryInterface(IAMStreamConfig)
    const GUID* wanted_pin = &PIN_CATEGORY_CAPTURE;  // the pin category looked for
    const GUID* category = &CLSID_VideoInputDeviceCategory;  // where the device is listed
};

// 0 with the IAMStreamConfig of the device's first pin of category
// PIN_CATEGORY_CAPTURE (the still list: PIN_CATEGORY_STILL, and so on for
// "capture pin" below). -3 no system device enumerator, -4 no device in the
// category, -5 `device_index` past the list, -6 the moniker cannot
// be bound, -7 EnumPins failed, -8 no capture pin, -9 the capture pin has no
// IAMStreamConfig. `device_index` is not negative.
int32_t device_capture_config(int32_t device_index, const DeviceCaptureCalls& calls,
                              ComPtr<IAMStreamConfig>& config);

}  // namespace vlx
