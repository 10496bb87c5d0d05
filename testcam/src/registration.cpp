// DllRegisterServer, DllUnregisterServer and DllInstall.
//
//   regsvr32 vidlox-testcam64.dll            registers the main device
//   regsvr32 /n /i:all vidlox-testcam64.dll  registers every device
//   regsvr32 /u vidlox-testcam64.dll         removes everything either added
#include "com_ptr.h"
#include "comkit/com_base.h"
#include "comkit/registration.h"
#include "comkit/source_registration.h"
#include "device_registration.h"
#include "microphone.h"
#include "profiles.h"

#include <dshow.h>
#include <objbase.h>

#include <cwchar>

namespace vlxcam {

namespace {

// The camera's classes go to HKCR, as regsvr32 servers register on Windows.
using vlxcom::kClassesRoot;

HRESULT create_mapper(ComPtr<IFilterMapper2>& mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                            mapper.put_void());
}

}  // namespace

HRESULT register_device(IFilterMapper2* mapper, const DeviceProfile& profile) {
    const GUID subtype = subtype_of(capabilities_of(profile.formats).front().fourcc);
    return vlxcom::register_source(mapper, {profile.clsid, profile.name, CLSID_VideoInputDeviceCategory,
                                            MEDIATYPE_Video, subtype, profile.quirk != Quirk::no_pins,
                                            profile.device_path});
}

namespace {

HRESULT unregister_everything() {
    vlxcom::ComScope com;
    ComPtr<IFilterMapper2> mapper;
    const HRESULT created = create_mapper(mapper);
    for (const DeviceProfile& profile : device_profiles())
        vlxcom::unregister_source(mapper.get(), profile.clsid, CLSID_VideoInputDeviceCategory);
    vlxcom::unregister_class(kFormatPageClsid, kClassesRoot);
    if (mapper) unregister_microphone(mapper.get());
    return created;
}

// Registers the property page and the first `count` devices; a failure
// rolls back everything registered so far.
HRESULT register_devices(size_t count) {
    HRESULT hr = S_OK;
    {
        vlxcom::ComScope com;
        ComPtr<IFilterMapper2> mapper;
        hr = create_mapper(mapper);
        if (SUCCEEDED(hr)) hr = vlxcom::register_class(kFormatPageClsid, L"vidlox Test Camera format page", kClassesRoot);
        const auto profiles = device_profiles();
        for (size_t i = 0; SUCCEEDED(hr) && i < count && i < profiles.size(); ++i) {
            hr = register_device(mapper.get(), profiles[i]);
        }
        // The microphone comes with the whole set.
        if (SUCCEEDED(hr) && count >= profiles.size()) hr = register_microphone(mapper.get());
    }
    if (FAILED(hr)) unregister_everything();
    return hr;
}

}  // namespace

}  // namespace vlxcam

extern "C" {

// Nothing may throw into regsvr32: an allocation that fails is
// E_OUTOFMEMORY (vlxcom::com_guard).
STDAPI DllRegisterServer(void) {
    return vlxcom::com_guard([] { return vlxcam::register_devices(1); });
}

STDAPI DllUnregisterServer(void) {
    vlxcom::com_guard([] { return vlxcam::unregister_everything(); });
    return S_OK;
}

// DllInstall(TRUE, L"all") registers the main device and every edge-case
// device; DllInstall(FALSE, ...) removes them all.
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
    if (!install) return DllUnregisterServer();
    if (command_line && _wcsicmp(command_line, L"all") == 0)
        return vlxcom::com_guard([] { return vlxcam::register_devices(vlxcam::device_profiles().size()); });
    if (!command_line || !*command_line) return DllRegisterServer();
    return E_INVALIDARG;
}

}  // extern "C"
