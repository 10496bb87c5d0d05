#include "controls/device_controls.h"

#include "library/platform_call.h"

namespace vlx {

bool lacks_property(HRESULT status) {
    return status == E_PROP_ID_UNSUPPORTED || status == E_PROP_SET_UNSUPPORTED || status == E_NOTIMPL;
}

DeviceControls::DeviceControls(IBaseFilter* device, ControlFamily family, const InterfaceContexts& contexts)
    : contexts_(contexts) {
    if (family == ControlFamily::video_proc_amp) {
        reported_call(contexts.query, [&] {
            return device->QueryInterface(__uuidof(IAMVideoProcAmp), proc_amp_.put_void());
        });
    } else {
        reported_call(contexts.query, [&] {
            return device->QueryInterface(__uuidof(IAMCameraControl), camera_.put_void());
        });
    }
}

template <class Call>
HRESULT DeviceControls::on_interface(const char* context, Call&& call) const {
    return reported_call(context, [&] { return proc_amp_ ? call(proc_amp_.get()) : call(camera_.get()); });
}

HRESULT DeviceControls::get_range(LONG property, ControlRange& range) const {
    // Both interfaces declare the same methods; generic lambdas reach either.
    return on_interface(contexts_.get_range, [&](auto* controls) {
        return controls->GetRange(property, &range.minimum, &range.maximum, &range.step, &range.default_value,
                                  &range.modes);
    });
}

HRESULT DeviceControls::get(LONG property, LONG& value, LONG& mode) const {
    return on_interface(contexts_.get, [&](auto* controls) { return controls->Get(property, &value, &mode); });
}

HRESULT DeviceControls::set(LONG property, LONG value, LONG mode) const {
    return on_interface(contexts_.set, [&](auto* controls) { return controls->Set(property, value, mode); });
}

}  // namespace vlx
