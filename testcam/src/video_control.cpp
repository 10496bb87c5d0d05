#include "video_control.h"

#include "com_ptr.h"
#include "still_pin.h"

namespace vlxcam {

HRESULT VideoControl::which(IPin* pin, bool& still) const {
    if (!pin) return E_POINTER;
    still = pin == static_cast<IPin*>(&still_);
    if (still) return S_OK;
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return E_INVALIDARG;
    ComPtr<IBaseFilter> owner = ComPtr<IBaseFilter>::adopt(info.pFilter);
    ComPtr<IUnknown> identity;
    if (owner) owner.query(identity);
    ComPtr<IUnknown> ours;
    filter_.QueryInterface(IID_IUnknown, ours.put_void());
    return identity && identity.get() == ours.get() ? S_OK : E_INVALIDARG;
}

STDMETHODIMP VideoControl::GetCaps(IPin* pin, LONG* flags) {
    if (!flags) return E_POINTER;
    bool still = false;
    if (const HRESULT found = which(pin, still); FAILED(found)) return found;
    *flags = still ? StillPin::kCaps : 0;
    return S_OK;
}

STDMETHODIMP VideoControl::SetMode(IPin* pin, LONG mode) {
    bool still = false;
    if (const HRESULT found = which(pin, still); FAILED(found)) return found;
    if (!still) return mode == 0 ? S_OK : E_INVALIDARG;
    return still_.set_mode(mode);
}

STDMETHODIMP VideoControl::GetMode(IPin* pin, LONG* mode) {
    if (!mode) return E_POINTER;
    bool still = false;
    if (const HRESULT found = which(pin, still); FAILED(found)) return found;
    *mode = still ? still_.mode() : 0;
    return S_OK;
}

}  // namespace vlxcam
