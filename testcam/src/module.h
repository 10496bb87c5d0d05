// Module-wide bookkeeping of the test camera DLL: its instance handle and the
// count of live COM objects that DllCanUnloadNow and tests rely on.
#pragma once

#include <windows.h>

namespace vlxcam {

HINSTANCE module_instance();

// Every COM object of the DLL holds one of these for its whole life.
class LiveObject {
public:
    LiveObject() noexcept;
    ~LiveObject();
    LiveObject(const LiveObject&) noexcept;
    LiveObject& operator=(const LiveObject&) noexcept { return *this; }
};

long live_objects();
void lock_server(bool lock);
long server_locks();

}  // namespace vlxcam
