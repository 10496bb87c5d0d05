// The frame-event exports, found in the loaded vidlox64.dll as a host finds them.
#pragma once

#include "dll/host_library.h"

#include <cstdlib>

namespace vlx_test {

struct FrameEvents {
    decltype(&vlx_WaitFrame) WaitFrame;
    decltype(&vlx_GetFrame) GetFrame;
    decltype(&vlx_SetFrameNotify) SetFrameNotify;
    decltype(&vlx_LockFrame) LockFrame;
    decltype(&vlx_UnlockFrame) UnlockFrame;
    decltype(&vlx_GetFrameHolding) GetFrameHolding;
};

inline const FrameEvents& frame_events() {
    static const FrameEvents loaded = [] {
        vidlox();  // loads the library
        const HMODULE module = GetModuleHandleW(L"vidlox64.dll");
        auto find = [&](const char* name) {
            FARPROC found = GetProcAddress(module, name);
            if (!found) std::abort();
            return reinterpret_cast<void*>(found);
        };
        return FrameEvents{reinterpret_cast<decltype(&vlx_WaitFrame)>(find("vlx_WaitFrame")),
                           reinterpret_cast<decltype(&vlx_GetFrame)>(find("vlx_GetFrame")),
                           reinterpret_cast<decltype(&vlx_SetFrameNotify)>(find("vlx_SetFrameNotify")),
                           reinterpret_cast<decltype(&vlx_LockFrame)>(find("vlx_LockFrame")),
                           reinterpret_cast<decltype(&vlx_UnlockFrame)>(find("vlx_UnlockFrame")),
                           reinterpret_cast<decltype(&vlx_GetFrameHolding)>(find("vlx_GetFrameHolding"))};
    }();
    return loaded;
}

}  // namespace vlx_test
