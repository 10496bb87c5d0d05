// The COM identity of the library's own Sample Grabber callbacks: a
// reference count the streaming thread may touch, and ISampleGrabberCB.
// The grabber is always given method 0 (SampleCB); BufferCB is answered and
// does nothing.
#pragma once

#include "common/directshow.h"

#include <atomic>

namespace vlx {

class SampleGrabberCallback : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
            *object = static_cast<ISampleGrabberCB*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }

protected:
    SampleGrabberCallback() = default;
    virtual ~SampleGrabberCallback() = default;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace vlx
