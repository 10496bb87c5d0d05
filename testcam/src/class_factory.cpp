#include "class_factory.h"

#include "camera_filter.h"
#include "comkit/com_base.h"
#include "format_page.h"
#include "microphone.h"
#include "profiles.h"

namespace vlxcam {

namespace {

HRESULT create_instance(REFCLSID clsid, REFIID iid, void** object) {
    if (IsEqualCLSID(clsid, kFormatPageClsid)) return create_format_page(iid, object);
    if (const MicrophoneProfile* microphone = find_microphone(clsid)) return create_microphone(*microphone, iid, object);
    const DeviceProfile* profile = find_profile(clsid);
    if (!profile) return CLASS_E_CLASSNOTAVAILABLE;
    return vlxcom::create_object<CameraFilter>(iid, object, *profile);
}

}  // namespace

HRESULT get_class_object(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!find_profile(clsid) && !IsEqualCLSID(clsid, kFormatPageClsid) && !find_microphone(clsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    return vlxcom::get_class_factory(create_instance, clsid, iid, object);
}

}  // namespace vlxcam
