// The test camera DLL's entry points; its live-object count is the COM
// kit's, for DllCanUnloadNow and the tests.
#include "class_factory.h"
#include "comkit/com_base.h"
#include "vidlox_testcam.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return vlxcam::get_class_object(clsid, iid, object);
}

STDAPI DllCanUnloadNow(void) { return vlxcom::can_unload_now(); }

int32_t __cdecl vlxcam_LiveObjects(void) { return static_cast<int32_t>(vlxcom::live_objects()); }

}  // extern "C"
