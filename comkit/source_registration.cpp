#include "comkit/source_registration.h"

#include "comkit/registration.h"

#include <cstdio>
#include <cwchar>
#include <iterator>

namespace vlxcom {

HRESULT register_source(IFilterMapper2* mapper, const SourceEntry& entry) noexcept {
    HRESULT hr = register_class(entry.clsid, entry.name, kClassesRoot);
    if (FAILED(hr)) return hr;
    REGPINTYPES type{&entry.majortype, &entry.subtype};
    REGFILTERPINS2 pin{};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = entry.has_pin ? 1 : 0;
    filter.rgPins2 = &pin;
    hr = mapper->RegisterFilter(entry.clsid, entry.name, nullptr, &entry.category, guid_text(entry.clsid).c_str(),
                                &filter);
    if (FAILED(hr) || !entry.device_path) return hr;
    return write_device_path(entry.category, entry.clsid, entry.device_path);
}

void unregister_source(IFilterMapper2* mapper, const CLSID& clsid, const GUID& category) noexcept {
    if (mapper) mapper->UnregisterFilter(&category, guid_text(clsid).c_str(), clsid);
    unregister_class(clsid, kClassesRoot);
}

HRESULT write_device_path(const GUID& category, const CLSID& clsid, const wchar_t* path) noexcept {
    wchar_t key[128];
    const int written = std::swprintf(key, std::size(key), L"CLSID\\%ls\\Instance\\%ls", guid_text(category).c_str(),
                                      guid_text(clsid).c_str());
    if (written <= 0 || static_cast<size_t>(written) >= std::size(key)) return E_FAIL;
    const DWORD bytes = static_cast<DWORD>((std::wcslen(path) + 1) * sizeof(wchar_t));
    return HRESULT_FROM_WIN32(RegSetKeyValueW(HKEY_CLASSES_ROOT, key, L"DevicePath", REG_SZ, path, bytes));
}

}  // namespace vlxcom
