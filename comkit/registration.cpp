#include "comkit/registration.h"

#include "comkit/com_base.h"

#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <iterator>

namespace vlxcom {

const ClassKeys kMachineClasses{HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\"};
const ClassKeys kClassesRoot{HKEY_CLASSES_ROOT, L"CLSID\\"};

namespace {

LSTATUS set_string(HKEY key, const wchar_t* name, const wchar_t* value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t)));
}

// `keys.path` followed by the class id; false when that does not fit.
bool class_key(const ClassKeys& keys, const CLSID& clsid, wchar_t (&key)[128]) {
    const int written = std::swprintf(key, std::size(key), L"%ls%ls", keys.path, guid_text(clsid).c_str());
    return written > 0 && static_cast<size_t>(written) < std::size(key);
}

}  // namespace

GuidText guid_text(const GUID& guid) noexcept {
    GuidText result{};
    StringFromGUID2(guid, result.text, static_cast<int>(std::size(result.text)));
    return result;
}

HRESULT register_class(const CLSID& clsid, const wchar_t* name, const ClassKeys& keys) noexcept {
    wchar_t server[MAX_PATH];
    const DWORD length = GetModuleFileNameW(this_module(), server, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    wchar_t path[128];
    if (!class_key(keys, clsid, path)) return E_FAIL;
    HKEY key = nullptr;
    HKEY inproc = nullptr;
    LSTATUS status = RegCreateKeyExW(keys.root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) status = set_string(key, nullptr, name);
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExW(key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &inproc, nullptr);
    if (status == ERROR_SUCCESS) status = set_string(inproc, nullptr, server);
    if (status == ERROR_SUCCESS) status = set_string(inproc, L"ThreadingModel", L"Both");
    if (inproc) RegCloseKey(inproc);
    if (key) RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

void unregister_class(const CLSID& clsid, const ClassKeys& keys) noexcept {
    wchar_t path[128];
    if (class_key(keys, clsid, path)) RegDeleteTreeW(keys.root, path);
}

}  // namespace vlxcom
