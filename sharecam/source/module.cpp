// The shared camera DLL's entry points: its class objects, and the
// registration of its four devices in the video capture category.
//
//   regsvr32 vidlox-share64.dll      lists the four devices
//   regsvr32 /u vidlox-share64.dll   removes them
#include "comkit/com_base.h"
#include "comkit/registration.h"
#include "comkit/source_registration.h"
#include "common/com_ptr.h"
#include "devices.h"
#include "share_filter.h"
#include "vidlox_sharecam.h"

#include <dshow.h>
#include <objbase.h>

namespace vlxshare::source {

namespace {

HRESULT create_instance(REFCLSID clsid, REFIID iid, void** object) {
    const ShareDevice* device = find_device(clsid);
    if (!device) return CLASS_E_CLASSNOTAVAILABLE;
    return vlxcom::create_object<ShareFilter>(iid, object, device->clsid, device->channel);
}

HRESULT create_mapper(ComPtr<IFilterMapper2>& mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                            mapper.put_void());
}

HRESULT register_device(IFilterMapper2* mapper, const ShareDevice& device) {
    return vlxcom::register_source(mapper, {device.clsid, device.name, CLSID_VideoInputDeviceCategory,
                                            MEDIATYPE_Video, MEDIASUBTYPE_RGB24, true, device.device_path});
}

HRESULT unregister_devices() {
    vlxcom::ComScope com;
    ComPtr<IFilterMapper2> mapper;
    const HRESULT created = create_mapper(mapper);
    for (const ShareDevice& device : share_devices())
        vlxcom::unregister_source(mapper.get(), device.clsid, CLSID_VideoInputDeviceCategory);
    return created;
}

// A failure rolls back everything registered so far.
HRESULT register_devices() {
    HRESULT hr = S_OK;
    {
        vlxcom::ComScope com;
        ComPtr<IFilterMapper2> mapper;
        hr = create_mapper(mapper);
        for (const ShareDevice& device : share_devices()) {
            if (FAILED(hr)) break;
            hr = register_device(mapper.get(), device);
        }
    }
    if (FAILED(hr)) unregister_devices();
    return hr;
}

}  // namespace

}  // namespace vlxshare::source

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!vlxshare::source::find_device(clsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return vlxcom::get_class_factory(vlxshare::source::create_instance, clsid, iid, object);
}

STDAPI DllCanUnloadNow(void) { return vlxcom::can_unload_now(); }

// Nothing may throw into regsvr32.
STDAPI DllRegisterServer(void) {
    return vlxcom::com_guard([] { return vlxshare::source::register_devices(); });
}

STDAPI DllUnregisterServer(void) {
    vlxcom::com_guard([] { return vlxshare::source::unregister_devices(); });
    return S_OK;
}

int32_t __cdecl vlxshare_LiveObjects(void) { return static_cast<int32_t>(vlxcom::live_objects()); }

}  // extern "C"
