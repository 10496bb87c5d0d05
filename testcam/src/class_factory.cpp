#include "class_factory.h"

#include "camera_filter.h"
#include "format_page.h"
#include "com_object.h"
#include "module.h"
#include "profiles.h"


namespace vlxcam {

namespace {

class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(const CLSID& clsid) : clsid_(clsid) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (IsEqualCLSID(clsid_, kFormatPageClsid)) return create_format_page(iid, object);
        const DeviceProfile* profile = find_profile(clsid_);
        if (!profile) return CLASS_E_CLASSNOTAVAILABLE;
        return create_object<CameraFilter>(iid, object, *profile);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock_server(lock != FALSE);
        return S_OK;
    }

private:
    CLSID clsid_;
};

}  // namespace

HRESULT get_class_object(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!find_profile(clsid) && !IsEqualCLSID(clsid, kFormatPageClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return create_object<ClassFactory>(iid, object, clsid);
}

}  // namespace vlxcam
