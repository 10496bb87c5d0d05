// Registration of the test platform's COM classes. Wine reads class
// registrations from HKLM\Software\Classes only (per-user ones are
// ignored), and a server called from a multithreaded apartment must be
// registered "Both" or it is reached through a proxy that fails.
#pragma once

#include <windows.h>

#include <string>

namespace vlxtp {

std::wstring guid_text(const GUID& guid);

// HKLM\Software\Classes\CLSID\{clsid}: `name`, InprocServer32 = this
// DLL's path, ThreadingModel Both.
HRESULT register_class(const CLSID& clsid, const wchar_t* name);
void unregister_class(const CLSID& clsid);

// COM for the length of a registration call; regsvr32 may or may not have
// initialised it already.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

}  // namespace vlxtp
