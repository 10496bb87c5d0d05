#include "module.h"

#include "class_factory.h"
#include "vidlox_testcam.h"

#include <atomic>

namespace vlxcam {

namespace {
HINSTANCE g_instance = nullptr;
std::atomic<long> g_live_objects{0};
std::atomic<long> g_server_locks{0};
}  // namespace

HINSTANCE module_instance() { return g_instance; }

LiveObject::LiveObject() noexcept { ++g_live_objects; }
LiveObject::LiveObject(const LiveObject&) noexcept { ++g_live_objects; }
LiveObject::~LiveObject() { --g_live_objects; }

long live_objects() { return g_live_objects.load(); }

void lock_server(bool lock) {
    if (lock)
        ++g_server_locks;
    else
        --g_server_locks;
}

long server_locks() { return g_server_locks.load(); }

}  // namespace vlxcam

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        vlxcam::g_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return vlxcam::get_class_object(clsid, iid, object);
}

STDAPI DllCanUnloadNow(void) {
    return vlxcam::live_objects() == 0 && vlxcam::server_locks() == 0 ? S_OK : S_FALSE;
}

int32_t __cdecl vlxcam_LiveObjects(void) { return static_cast<int32_t>(vlxcam::live_objects()); }

}  // extern "C"
