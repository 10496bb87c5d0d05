// DllRegisterServer and DllUnregisterServer: the codec's Drivers32 values.
#include "codec_formats.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace vlxcodec {

namespace {

constexpr wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr const wchar_t* kValues[] = {L"vidc.YUY2", L"vidc.NV12", L"vidc.MJPG"};
// The driver loader reads a value into 128 characters and takes a space as
// the start of driver arguments.
constexpr size_t kLongestLoadablePath = 127;

HMODULE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&this_module), &module);
    return module;
}

std::wstring module_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(this_module(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(path, length);
}

// The DLL a Drivers32 value names, or an empty text when there is none.
std::wstring registered_driver(HKEY key, const wchar_t* value) {
    wchar_t data[MAX_PATH] = L"";
    DWORD bytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    data[bytes / sizeof(wchar_t)] = L'\0';
    return data;
}

bool names_this_module(const std::wstring& driver, const std::wstring& path) {
    if (driver.empty()) return false;
    if (_wcsicmp(driver.c_str(), path.c_str()) == 0) return true;
    const size_t slash = path.find_last_of(L"\\/");
    return slash != std::wstring::npos && _wcsicmp(driver.c_str(), path.c_str() + slash + 1) == 0;
}

HRESULT register_values() {
    const std::wstring path = module_path();
    if (path.empty()) return E_FAIL;
    if (path.size() > kLongestLoadablePath || path.find(L' ') != std::wstring::npos)
        return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);

    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    // Another codec's registration is left alone, and none of ours is made.
    for (const wchar_t* value : kValues) {
        const std::wstring driver = registered_driver(key, value);
        if (!driver.empty() && !names_this_module(driver, path)) status = ERROR_ALREADY_EXISTS;
    }
    for (size_t i = 0; status == ERROR_SUCCESS && i < std::size(kValues); ++i) {
        status = RegSetValueExW(key, kValues[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

HRESULT unregister_values() {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    const std::wstring path = module_path();
    for (const wchar_t* value : kValues) {
        if (names_this_module(registered_driver(key, value), path)) RegDeleteValueW(key, value);
    }
    RegCloseKey(key);
    return S_OK;
}

}  // namespace

}  // namespace vlxcodec

extern "C" {

STDAPI DllRegisterServer(void) { return vlxcodec::register_values(); }
STDAPI DllUnregisterServer(void) { return vlxcodec::unregister_values(); }

}  // extern "C"
