#include "comkit/registration.h"

#include "comkit/com_base.h"

#include <objbase.h>

namespace vlxcom {

const ClassKeys kMachineClasses{HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\"};
const ClassKeys kClassesRoot{HKEY_CLASSES_ROOT, L"CLSID\\"};

namespace {

LSTATUS set_string(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring guid_text(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT register_class(const CLSID& clsid, const wchar_t* name, const ClassKeys& keys) {
    wchar_t server[MAX_PATH];
    const DWORD length = GetModuleFileNameW(this_module(), server, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    HKEY key = nullptr;
    HKEY inproc = nullptr;
    LSTATUS status = RegCreateKeyExW(keys.root, (keys.path + guid_text(clsid)).c_str(), 0, nullptr, 0, KEY_WRITE,
                                     nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) status = set_string(key, nullptr, name);
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExW(key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &inproc, nullptr);
    if (status == ERROR_SUCCESS) status = set_string(inproc, nullptr, server);
    if (status == ERROR_SUCCESS) status = set_string(inproc, L"ThreadingModel", L"Both");
    if (inproc) RegCloseKey(inproc);
    if (key) RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

void unregister_class(const CLSID& clsid, const ClassKeys& keys) {
    RegDeleteTreeW(keys.root, (keys.path + guid_text(clsid)).c_str());
}

}  // namespace vlxcom
