#include "events/sample_holding.h"

#include "library/platform_call.h"

namespace vlx {

namespace {

ComPtr<IPin> input_pin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    if (platform_call("FrameTracking.Grabber.EnumPins", [&] { return filter->EnumPins(pins.put()); }) != S_OK ||
        !pins)
        return {};
    ComPtr<IPin> pin;
    // Next answers S_FALSE at the end.
    while (platform_call("FrameTracking.GrabberPins.Next", [&] { return pins->Next(1, pin.put(), nullptr); }) == S_OK) {
        PIN_DIRECTION direction = PINDIR_OUTPUT;
        if (pin && SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_INPUT) return pin;
    }
    return {};
}

}  // namespace

ComPtr<IMemAllocator> allocator_to_hold_from(IBaseFilter* grabber) {
    if (!grabber) return {};
    const ComPtr<IPin> pin = input_pin(grabber);
    ComPtr<IMemInputPin> input;
    if (!pin || FAILED(pin.query(input))) return {};
    // The allocator the upstream pin notified: the one its samples come from.
    ComPtr<IMemAllocator> allocator;
    if (platform_call("FrameTracking.GrabberInput.GetAllocator", [&] { return input->GetAllocator(allocator.put()); }) !=
            S_OK ||
        !allocator)
        return {};
    ALLOCATOR_PROPERTIES properties{};
    if (FAILED(platform_call("FrameTracking.Allocator.GetProperties",
                             [&] { return allocator->GetProperties(&properties); })) ||
        properties.cBuffers < kSpareBufferFloor)
        return {};
    return allocator;
}

}  // namespace vlx
