// DllRegisterServer and DllUnregisterServer: the codec's Drivers32 values.
#include "codec_formats.h"
#include "comkit/com_base.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

namespace vlxcodec {

namespace {

constexpr wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr const wchar_t* kValues[] = {L"vidc.YUY2", L"vidc.NV12", L"vidc.MJPG"};
// The driver loader reads a value into 128 characters and takes a space as
// the start of driver arguments.
constexpr size_t kLongestLoadablePath = 127;

// This DLL's path, or false when there is none that fits MAX_PATH.
bool module_path(wchar_t (&path)[MAX_PATH]) {
    const DWORD length = GetModuleFileNameW(vlxcom::this_module(), path, MAX_PATH);
    return length != 0 && length < MAX_PATH;
}

bool names_this_module(const wchar_t* driver, const wchar_t* path) {
    if (_wcsicmp(driver, path) == 0) return true;
    const wchar_t* name = nullptr;  // after the last separator of either kind
    for (const wchar_t* c = path; *c; ++c)
        if (*c == L'\\' || *c == L'/') name = c + 1;
    return name && _wcsicmp(driver, name) == 0;
}

enum class Driver { none, ours, another };

// Who a Drivers32 value names. A value that cannot be read as a path (too
// long, not a string, any read failure but its absence) is another's.
Driver registered_driver(HKEY key, const wchar_t* value, const wchar_t* path) {
    wchar_t data[MAX_PATH] = L"";
    DWORD bytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return Driver::none;
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return Driver::another;
    data[bytes / sizeof(wchar_t)] = L'\0';
    return names_this_module(data, path) ? Driver::ours : Driver::another;
}

HRESULT unregister_values() {
    wchar_t path[MAX_PATH];
    if (!module_path(path)) return S_OK;  // no value can name a module without a path
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    for (const wchar_t* value : kValues) {
        if (registered_driver(key, value, path) == Driver::ours) RegDeleteValueW(key, value);
    }
    RegCloseKey(key);
    return S_OK;
}

HRESULT register_values() {
    wchar_t path[MAX_PATH];
    if (!module_path(path)) return E_FAIL;
    if (std::wcslen(path) > kLongestLoadablePath || std::wcschr(path, L' '))
        return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);

    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    // Another codec's registration is left alone, and none of ours is made.
    for (const wchar_t* value : kValues) {
        if (registered_driver(key, value, path) == Driver::another) status = ERROR_ALREADY_EXISTS;
    }
    for (size_t i = 0; status == ERROR_SUCCESS && i < std::size(kValues); ++i) {
        status = RegSetValueExW(key, kValues[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                                static_cast<DWORD>((std::wcslen(path) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    // All three or none: a write that failed takes back those made before it.
    if (status != ERROR_SUCCESS && status != ERROR_ALREADY_EXISTS) unregister_values();
    return HRESULT_FROM_WIN32(status);
}

}  // namespace

}  // namespace vlxcodec

extern "C" {

STDAPI DllRegisterServer(void) { return vlxcodec::register_values(); }
STDAPI DllUnregisterServer(void) { return vlxcodec::unregister_values(); }

}  // extern "C"
