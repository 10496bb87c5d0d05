// Registration of the test tree's COM classes: InprocServer32 with
// ThreadingModel "Both", since a server called from a multithreaded
// apartment and registered otherwise is reached through a proxy that fails.
#pragma once

#include <windows.h>

namespace vlxcom {

// A GUID in its registry form, "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
// Registration runs inside DLL exports, where nothing may throw: the text
// lives in the object, not on the heap.
struct GuidText {
    wchar_t text[39];
    const wchar_t* c_str() const { return text; }
};
GuidText guid_text(const GUID& guid) noexcept;

// Where a class's key goes: `root`\`path`{clsid}.
struct ClassKeys {
    HKEY root;
    const wchar_t* path;
};
// HKLM\Software\Classes\CLSID, the test platform's: Wine reads class
// registrations from there only (per-user ones are ignored).
extern const ClassKeys kMachineClasses;
// HKCR\CLSID, the camera's, which regsvr32 registers on Windows too.
extern const ClassKeys kClassesRoot;

// The class key with `name`, InprocServer32 = this module's path,
// ThreadingModel Both.
HRESULT register_class(const CLSID& clsid, const wchar_t* name, const ClassKeys& keys = kMachineClasses) noexcept;
void unregister_class(const CLSID& clsid, const ClassKeys& keys = kMachineClasses) noexcept;

// COM for the length of a call (a registration, a decoder's WIC work); the
// caller may or may not have initialised it already.
class ComScope {
public:
    explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, model)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

}  // namespace vlxcom
