// vidlox-tp-capture64.dll: the test prefix's Capture Graph Builder 2.
//
//   regsvr32 vidlox-tp-capture64.dll     takes CLSID_CaptureGraphBuilder2 over
//   regsvr32 /u vidlox-tp-capture64.dll  gives it back to Wine's qcap.dll
//
// Wine's `wineboot -u` rewrites its own class entries, so the registration
// is made again after every wineboot.
#include "capture_builder.h"
#include "comkit/com_base.h"
#include "comkit/registration.h"

#include <dshow.h>

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_CaptureGraphBuilder2)) return CLASS_E_CLASSNOTAVAILABLE;
    return vlxcom::get_class_factory(vlxtp::create_capture_builder, clsid, iid, out);
}

STDAPI DllCanUnloadNow(void) { return vlxcom::can_unload_now(); }

STDAPI DllRegisterServer(void) {
    return vlxcom::register_class(CLSID_CaptureGraphBuilder2, L"Capture Graph Builder 2 (vidlox test platform)");
}

// Wine's qcap.dll registers its own classes again.
STDAPI DllUnregisterServer(void) {
    HMODULE qcap = vlxtp::wine_qcap();
    auto reregister =
        qcap ? reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(qcap, "DllRegisterServer")))
             : nullptr;
    if (!reregister) return E_FAIL;
    vlxcom::ComScope com;
    return reregister();
}

}  // extern "C"
