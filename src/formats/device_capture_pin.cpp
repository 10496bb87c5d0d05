#include "formats/device_capture_pin.h"

#include "formats/format_codes.h"

namespace vlx {

namespace {

// The moniker at `device_index` of the device category, or a code.
int32_t find_device(int32_t device_index, const DeviceCaptureCalls& calls, ComPtr<IBaseFilter>& device) {
    ComPtr<ICreateDevEnum> device_enum;
    if (reported_call(calls.create, [&] {
            return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                    device_enum.put_void());
        }) != S_OK)
        return kListNoDeviceEnumerator;
    // An empty category answers S_FALSE and no enumerator.
    ComPtr<IEnumMoniker> monikers;
    reported_call(calls.enumerate, [&] {
        return device_enum->CreateClassEnumerator(*calls.category, monikers.put(), 0);
    });
    if (!monikers) return kListNoCaptureDevice;
    ComPtr<IMoniker> moniker;
    for (int32_t position = 0; monikers->Next(1, moniker.put(), nullptr) == S_OK; ++position) {
        if (position != device_index) continue;
        if (!moniker) return kListCannotBind;
        const HRESULT bound = reported_call(calls.bind, [&] {
            return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, device.put_void());
        });
        return FAILED(bound) || !device ? kListCannotBind : 0;
    }
    return kListIndexOutOfRange;
}

// Whether the pin states the wanted category through its property set.
bool is_capture_pin(IPin* pin, const DeviceCaptureCalls& calls) {
    ComPtr<IKsPropertySet> properties;
    platform_call(calls.property_set, [&] { return pin->QueryInterface(IID_IKsPropertySet, properties.put_void()); });
    if (!properties) return false;
    GUID category{};
    DWORD returned = 0;
    const HRESULT read = reported_call(calls.pin_category, [&] {
        return properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                               &returned);
    });
    return read == S_OK && returned == sizeof category && IsEqualGUID(category, *calls.wanted_pin);
}

}  // namespace

int32_t device_capture_config(int32_t device_index, const DeviceCaptureCalls& calls,
                              ComPtr<IAMStreamConfig>& config) {
    ComPtr<IBaseFilter> device;
    if (const int32_t failed = find_device(device_index, calls, device)) return failed;
    ComPtr<IEnumPins> pins;
    if (reported_call(calls.enum_pins, [&] { return device->EnumPins(pins.put()); }) != S_OK || !pins) return kListEnumPinsFailed;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        if (!pin || !is_capture_pin(pin.get(), calls)) continue;
        const HRESULT found = reported_call(calls.stream_config, [&] { return pin.query(config); });
        return found == S_OK && config ? 0 : kListNoStreamConfig;
    }
    return kListNoCapturePin;
}

}  // namespace vlx
