// DllRegisterServer, DllUnregisterServer and DllInstall.
//
//   regsvr32 vidlox-testcam64.dll            registers the main device
//   regsvr32 /n /i:all vidlox-testcam64.dll  registers every device
//   regsvr32 /u vidlox-testcam64.dll         removes everything either added
#include "com_ptr.h"
#include "module.h"
#include "profiles.h"

#include <dshow.h>
#include <objbase.h>

#include <cwchar>
#include <string>

namespace vlxcam {

namespace {

std::wstring guid_text(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

LSTATUS set_string(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// HKCR\CLSID\{clsid} with its in-process server.
HRESULT register_class(const CLSID& clsid, const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module_instance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;

    const std::wstring key_name = L"CLSID\\" + guid_text(clsid);
    HKEY key = nullptr;
    HKEY server = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key_name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                     nullptr);
    if (status == ERROR_SUCCESS) status = set_string(key, nullptr, name);
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExW(key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr);
    if (status == ERROR_SUCCESS) status = set_string(server, nullptr, path);
    if (status == ERROR_SUCCESS) status = set_string(server, L"ThreadingModel", L"Both");
    if (server) RegCloseKey(server);
    if (key) RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

void unregister_class(const CLSID& clsid) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guid_text(clsid)).c_str());
}

HRESULT register_device(IFilterMapper2* mapper, const DeviceProfile& profile) {
    HRESULT hr = register_class(profile.clsid, profile.name);
    if (FAILED(hr)) return hr;

    const GUID subtype = subtype_of(capabilities_of(profile.formats).front().fourcc);
    REGPINTYPES type{&MEDIATYPE_Video, &subtype};
    REGFILTERPINS2 pin{};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = profile.quirk == Quirk::no_pins ? 0 : 1;
    filter.rgPins2 = &pin;
    const std::wstring instance = guid_text(profile.clsid);
    return mapper->RegisterFilter(profile.clsid, profile.name, nullptr, &CLSID_VideoInputDeviceCategory,
                                  instance.c_str(), &filter);
}

// COM for the length of a registration call; regsvr32 may or may not have
// initialised it already.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

private:
    HRESULT result_;
};

HRESULT create_mapper(ComPtr<IFilterMapper2>& mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                            mapper.put_void());
}

HRESULT unregister_everything() {
    ComScope com;
    ComPtr<IFilterMapper2> mapper;
    const HRESULT created = create_mapper(mapper);
    for (const DeviceProfile& profile : device_profiles()) {
        if (mapper) {
            mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, guid_text(profile.clsid).c_str(),
                                     profile.clsid);
        }
        unregister_class(profile.clsid);
    }
    unregister_class(kFormatPageClsid);
    return created;
}

// Registers the property page and the first `count` devices; a failure
// rolls back everything registered so far.
HRESULT register_devices(size_t count) {
    HRESULT hr = S_OK;
    {
        ComScope com;
        ComPtr<IFilterMapper2> mapper;
        hr = create_mapper(mapper);
        if (SUCCEEDED(hr)) hr = register_class(kFormatPageClsid, L"vidlox Test Camera format page");
        const auto profiles = device_profiles();
        for (size_t i = 0; SUCCEEDED(hr) && i < count && i < profiles.size(); ++i) {
            hr = register_device(mapper.get(), profiles[i]);
        }
    }
    if (FAILED(hr)) unregister_everything();
    return hr;
}

}  // namespace

}  // namespace vlxcam

extern "C" {

STDAPI DllRegisterServer(void) { return vlxcam::register_devices(1); }

STDAPI DllUnregisterServer(void) {
    vlxcam::unregister_everything();
    return S_OK;
}

// DllInstall(TRUE, L"all") registers the main device and every edge-case
// device; DllInstall(FALSE, ...) removes them all.
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
    if (!install) return DllUnregisterServer();
    if (command_line && _wcsicmp(command_line, L"all") == 0)
        return vlxcam::register_devices(vlxcam::device_profiles().size());
    if (!command_line || !*command_line) return DllRegisterServer();
    return E_INVALIDARG;
}

}  // extern "C"
