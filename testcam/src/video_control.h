// IAMVideoControl of a camera with a still pin, as a UVC driver offers it on
// the capture filter: the still pin takes the software trigger and the
// external trigger (the button); the capture pin offers no flag. Its
// IUnknown is the filter's, as the control faces' are.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace vlxcam {

class StillPin;

class VideoControl final : public IAMVideoControl {
public:
    VideoControl(IUnknown& filter, StillPin& still) : filter_(filter), still_(still) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return filter_.QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return filter_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return filter_.Release(); }

    STDMETHODIMP GetCaps(IPin* pin, LONG* flags) override;
    STDMETHODIMP SetMode(IPin* pin, LONG mode) override;
    STDMETHODIMP GetMode(IPin* pin, LONG* mode) override;
    STDMETHODIMP GetCurrentActualFrameRate(IPin*, LONGLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMaxAvailableFrameRate(IPin*, LONG, SIZE, LONGLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFrameRateList(IPin*, LONG, SIZE, LONG*, LONGLONG**) override { return E_NOTIMPL; }

private:
    // Whether `pin` is the still pin, E_POINTER for none and E_INVALIDARG for
    // a pin of another filter.
    HRESULT which(IPin* pin, bool& still) const;

    IUnknown& filter_;
    StillPin& still_;
};

}  // namespace vlxcam
