#include "class_factory.h"

#include "camera_filter.h"
#include "format_page.h"
#include "module.h"
#include "profiles.h"

#include <atomic>
#include <new>

namespace vlxcam {

namespace {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const CLSID& clsid) : clsid_(clsid) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (IsEqualCLSID(clsid_, kFormatPageClsid)) return create_format_page(iid, object);
        const DeviceProfile* profile = find_profile(clsid_);
        if (!profile) return CLASS_E_CLASSNOTAVAILABLE;
        auto* filter = new (std::nothrow) CameraFilter(*profile);
        if (!filter) return E_OUTOFMEMORY;
        const HRESULT hr = filter->QueryInterface(iid, object);
        filter->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock_server(lock != FALSE);
        return S_OK;
    }

private:
    LiveObject live_;
    std::atomic<ULONG> refs_{1};
    CLSID clsid_;
};

}  // namespace

HRESULT get_class_object(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!find_profile(clsid) && !IsEqualCLSID(clsid, kFormatPageClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory(clsid);
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

}  // namespace vlxcam
