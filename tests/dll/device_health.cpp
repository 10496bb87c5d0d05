#include "dll/device_health.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vlx_test {

namespace {

template <class Fn>
void resolve(HMODULE module, Fn& fn, const char* name) {
    fn = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    if (!fn) {
        std::fprintf(stderr, "%s is not exported\n", name);
        std::abort();
    }
}

DeviceHealth load() {
    vidlox();  // loads vidlox64.dll
    const HMODULE library = GetModuleHandleW(L"vidlox64.dll");
    const HMODULE camera = LoadLibraryW(L"vidlox-testcam64.dll");
    DeviceHealth h{};
    resolve(library, h.GetDevicePathList, "vlx_GetDevicePathList");
    resolve(library, h.GetDevicePathListSize, "vlx_GetDevicePathListSize");
    resolve(library, h.FindDevice, "vlx_FindDevice");
    resolve(library, h.GetDeviceState, "vlx_GetDeviceState");
    resolve(library, h.SetDeviceNotify, "vlx_SetDeviceNotify");
    resolve(library, h.Reopen, "vlx_Reopen");
    resolve(camera, h.Unplug, "vlxcam_Unplug");
    resolve(camera, h.Replug, "vlxcam_Replug");
    resolve(camera, h.Stall, "vlxcam_Stall");
    resolve(camera, h.FailStream, "vlxcam_FailStream");
    resolve(camera, h.SetClockError, "vlxcam_SetClockError");
    return h;
}

}  // namespace

const DeviceHealth& device_health() {
    static const DeviceHealth loaded = load();
    return loaded;
}

std::string device_path_list(int32_t kind) {
    const int32_t size = device_health().GetDevicePathListSize(kind);
    if (size < 1) return {};
    std::vector<char> text(static_cast<size_t>(size), '\0');
    device_health().GetDevicePathList(text.data(), kind);
    return text.data();
}

int32_t wait_for_device_state(int32_t state, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    int32_t now = device_health().GetDeviceState();
    while (now != state && GetTickCount64() < deadline) {
        Sleep(20);
        now = device_health().GetDeviceState();
    }
    return now;
}

}  // namespace vlx_test
