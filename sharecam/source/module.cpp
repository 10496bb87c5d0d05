// The shared camera DLL's entry points: its class objects, and the
// registration of its four devices in the video capture category.
//
//   regsvr32 vidlox-share64.dll      lists the four devices
//   regsvr32 /u vidlox-share64.dll   removes them
#include "comkit/com_base.h"
#include "comkit/registration.h"
#include "common/com_ptr.h"
#include "devices.h"
#include "share_filter.h"
#include "vidlox_sharecam.h"

#include <dshow.h>
#include <objbase.h>

#include <cwchar>
#include <string>

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

// Software devices keep their category entries in
// HKCR\CLSID\{category}\Instance\{instance}; a hardware device's entry has
// its DevicePath there, which hosts use to tell devices apart.
HRESULT write_device_path(const ShareDevice& device) {
    const wchar_t* path = device.device_path;
    const std::wstring key = std::wstring(L"CLSID\\") + vlxcom::guid_text(CLSID_VideoInputDeviceCategory).c_str() +
                             L"\\Instance\\" + vlxcom::guid_text(device.clsid).c_str();
    const DWORD bytes = static_cast<DWORD>((std::wcslen(path) + 1) * sizeof(wchar_t));
    return HRESULT_FROM_WIN32(RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"DevicePath", REG_SZ, path, bytes));
}

HRESULT register_device(IFilterMapper2* mapper, const ShareDevice& device) {
    HRESULT hr = vlxcom::register_class(device.clsid, device.name, vlxcom::kClassesRoot);
    if (FAILED(hr)) return hr;
    REGPINTYPES type{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
    REGFILTERPINS2 pin{};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    hr = mapper->RegisterFilter(device.clsid, device.name, nullptr, &CLSID_VideoInputDeviceCategory,
                                vlxcom::guid_text(device.clsid).c_str(), &filter);
    return FAILED(hr) ? hr : write_device_path(device);
}

HRESULT unregister_devices() {
    vlxcom::ComScope com;
    ComPtr<IFilterMapper2> mapper;
    const HRESULT created = create_mapper(mapper);
    for (const ShareDevice& device : share_devices()) {
        if (mapper)
            mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, vlxcom::guid_text(device.clsid).c_str(),
                                     device.clsid);
        vlxcom::unregister_class(device.clsid, vlxcom::kClassesRoot);
    }
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
