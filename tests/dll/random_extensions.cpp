#include "dll/random_extensions.h"

#include "code_meanings.h"  // generated from include/vidlox.h by tools/vidlox/header_codes.py

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

ExtensionExports load() {
    vidlox();  // loads vidlox64.dll
    const HMODULE library = GetModuleHandleW(L"vidlox64.dll");
    const HMODULE camera = LoadLibraryW(L"vidlox-testcam64.dll");
    ExtensionExports e{};
    resolve(library, e.GetControlRange, "vlx_GetControlRange");
    resolve(library, e.GetControl, "vlx_GetControl");
    resolve(library, e.SetControl, "vlx_SetControl");
    resolve(library, e.GetControlList, "vlx_GetControlList");
    resolve(library, e.GetControlListSize, "vlx_GetControlListSize");
    resolve(library, e.GetFormatList, "vlx_GetFormatList");
    resolve(library, e.GetFormatListSize, "vlx_GetFormatListSize");
    resolve(library, e.SetDevSubtype, "vlx_SetDevSubtype");
    resolve(library, e.SetDevFormatChoice, "vlx_SetDevFormatChoice");
    resolve(library, e.GetDevFormat, "vlx_GetDevFormat");
    resolve(library, e.WaitFrame, "vlx_WaitFrame");
    resolve(library, e.GetFrame, "vlx_GetFrame");
    resolve(library, e.LockFrame, "vlx_LockFrame");
    resolve(library, e.UnlockFrame, "vlx_UnlockFrame");
    resolve(library, e.GetFrameHolding, "vlx_GetFrameHolding");
    resolve(library, e.SetFrameNotify, "vlx_SetFrameNotify");
    resolve(library, e.GetDevicePathList, "vlx_GetDevicePathList");
    resolve(library, e.GetDevicePathListSize, "vlx_GetDevicePathListSize");
    resolve(library, e.FindDevice, "vlx_FindDevice");
    resolve(library, e.GetDeviceState, "vlx_GetDeviceState");
    resolve(library, e.SetDeviceNotify, "vlx_SetDeviceNotify");
    resolve(library, e.Reopen, "vlx_Reopen");
    resolve(library, e.SaveProfile, "vlx_SaveProfile");
    resolve(library, e.ApplyProfile, "vlx_ApplyProfile");
    resolve(library, e.SetAutoProfile, "vlx_SetAutoProfile");
    resolve(library, e.GetProfileReport, "vlx_GetProfileReport");
    resolve(library, e.GetProfileReportSize, "vlx_GetProfileReportSize");
    resolve(library, e.GetStillFormatList, "vlx_GetStillFormatList");
    resolve(library, e.GetStillFormatListSize, "vlx_GetStillFormatListSize");
    resolve(library, e.SetStillSize, "vlx_SetStillSize");
    resolve(library, e.TriggerStill, "vlx_TriggerStill");
    resolve(library, e.WaitStill, "vlx_WaitStill");
    resolve(library, e.GetStill, "vlx_GetStill");
    resolve(library, e.SaveStill, "vlx_SaveStill");
    resolve(library, e.SetStillNotify, "vlx_SetStillNotify");
    resolve(camera, e.PressButton, "vlxcam_PressButton");
    resolve(library, e.SetAudioDevice, "vlx_SetAudioDevice");
    resolve(library, e.SetAudioDevicePath, "vlx_SetAudioDevicePath");
    resolve(library, e.GetAudioFormatList, "vlx_GetAudioFormatList");
    resolve(library, e.GetAudioFormatListSize, "vlx_GetAudioFormatListSize");
    resolve(library, e.SetAudioFormat, "vlx_SetAudioFormat");
    resolve(library, e.GetAudioFormat, "vlx_GetAudioFormat");
    resolve(library, e.WaitAudio, "vlx_WaitAudio");
    resolve(library, e.GetAudio, "vlx_GetAudio");
    resolve(library, e.SetAudioNotify, "vlx_SetAudioNotify");
    resolve(camera, e.Unplug, "vlxcam_Unplug");
    resolve(camera, e.Replug, "vlxcam_Replug");
    resolve(camera, e.Stall, "vlxcam_Stall");
    return e;
}

bool listed_negative(const char* function, int32_t code) {
    for (const vlx_code_meaning* entry = vlx_code_meanings; entry->function; ++entry)
        if (entry->code == code && std::strcmp(entry->function, function) == 0) return true;
    return false;
}

// What each comment says a function answers when it does not fail: the
// lowest and the highest such result.
struct Success {
    const char* function;
    int32_t lowest, highest;
};
constexpr int32_t kAny = INT32_MAX;
const Success kSuccesses[] = {
    {"vlx_GetControlRange", 0, 0},
    {"vlx_GetControl", 0, 0},
    {"vlx_SetControl", 0, 1},
    {"vlx_GetControlList", 0, kAny},      // lines appended
    {"vlx_GetControlListSize", 1, kAny},  // bytes, terminator included
    {"vlx_GetFormatList", 0, kAny},
    {"vlx_GetFormatListSize", 1, kAny},
    {"vlx_SetDevSubtype", 0, 0},
    {"vlx_SetDevFormatChoice", 0, 0},
    {"vlx_GetDevFormat", 0, 0},
    {"vlx_WaitFrame", 0, 1},
    {"vlx_GetFrame", 0, 0},
    {"vlx_SetFrameNotify", 0, 0},
    {"vlx_LockFrame", 0, 0},
    {"vlx_UnlockFrame", 0, 0},
    {"vlx_GetFrameHolding", VLX_FRAMES_COPIED, VLX_FRAMES_HELD},
    {"vlx_GetDevicePathList", 0, kAny},
    {"vlx_GetDevicePathListSize", 1, kAny},
    {"vlx_FindDevice", 0, kAny},  // a position in the device list
    {"vlx_GetDeviceState", VLX_DEVICE_DELIVERING, VLX_DEVICE_NOT_RUNNING},
    {"vlx_SetDeviceNotify", 0, 0},
    {"vlx_Reopen", 0, 1},  // vlx_Open's: opened, or opened with the format refused
    {"vlx_SaveProfile", 0, kAny},  // settings written
    {"vlx_ApplyProfile", 0, kAny},  // settings applied
    {"vlx_SetAutoProfile", 0, 0},
    {"vlx_GetProfileReport", 0, kAny},
    {"vlx_GetProfileReportSize", 1, kAny},
    {"vlx_GetStillFormatList", 0, kAny},
    {"vlx_GetStillFormatListSize", 1, kAny},
    {"vlx_SetStillSize", 0, 1},
    {"vlx_TriggerStill", 0, 0},
    {"vlx_WaitStill", 0, 1},
    {"vlx_GetStill", 0, 0},
    {"vlx_SaveStill", 0, 0},
    {"vlx_SetStillNotify", 0, 0},
    {"vlx_SetAudioDevice", 0, 0},
    {"vlx_SetAudioDevicePath", 0, 0},
    {"vlx_GetAudioFormatList", 0, kAny},
    {"vlx_GetAudioFormatListSize", 1, kAny},
    {"vlx_SetAudioFormat", 0, 0},
    {"vlx_GetAudioFormat", 0, 0},
    {"vlx_WaitAudio", 0, 1},
    {"vlx_GetAudio", 0, 0},
    {"vlx_SetAudioNotify", 0, 0},
};

}  // namespace

const ExtensionExports& extensions() {
    static const ExtensionExports loaded = load();
    return loaded;
}

std::optional<bool> documented(const char* function, int32_t code) {
    for (const Success& success : kSuccesses) {
        if (std::strcmp(success.function, function) != 0) continue;
        if (code >= 0) return code >= success.lowest && code <= success.highest;
        if (listed_negative(function, code)) return true;
        return std::strcmp(function, "vlx_Reopen") == 0 && listed_negative("vlx_Open", code);
    }
    return std::nullopt;
}

GuardedBuffer::GuardedBuffer(size_t size) : size_(size), bytes_(size + kGuard, '\x5a') {
    if (size > 0) bytes_[0] = '\0';
}

bool GuardedBuffer::intact() const {
    return std::all_of(bytes_.begin() + static_cast<std::ptrdiff_t>(size_), bytes_.end(),
                       [](char c) { return c == '\x5a'; });
}

std::string GuardedBuffer::text() const {
    const auto end = std::find(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(size_), '\0');
    return std::string(bytes_.begin(), end);
}

}  // namespace vlx_test
