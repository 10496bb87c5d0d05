// What the random call sequences need beyond the base exports: the
// extension exports and the test camera's unplug, replug and stall, found as
// a host finds them; the codes the header documents for each function; and
// buffers with guard bytes after them, which show a write past the size the
// library was given.
#pragma once

#include "dll/host_library.h"
#include "vidlox_testcam.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vlx_test {

struct ExtensionExports {
    // Camera controls.
    decltype(&vlx_GetControlRange) GetControlRange;
    decltype(&vlx_GetControl) GetControl;
    decltype(&vlx_SetControl) SetControl;
    decltype(&vlx_GetControlList) GetControlList;
    decltype(&vlx_GetControlListSize) GetControlListSize;
    // Capture formats.
    decltype(&vlx_GetFormatList) GetFormatList;
    decltype(&vlx_GetFormatListSize) GetFormatListSize;
    decltype(&vlx_SetDevSubtype) SetDevSubtype;
    decltype(&vlx_SetDevFormatChoice) SetDevFormatChoice;
    decltype(&vlx_GetDevFormat) GetDevFormat;
    // Frame events.
    decltype(&vlx_WaitFrame) WaitFrame;
    decltype(&vlx_GetFrame) GetFrame;
    decltype(&vlx_SetFrameNotify) SetFrameNotify;
    decltype(&vlx_LockFrame) LockFrame;
    decltype(&vlx_UnlockFrame) UnlockFrame;
    decltype(&vlx_GetFrameHolding) GetFrameHolding;
    // Device identity and health.
    decltype(&vlx_GetDevicePathList) GetDevicePathList;
    decltype(&vlx_GetDevicePathListSize) GetDevicePathListSize;
    decltype(&vlx_FindDevice) FindDevice;
    decltype(&vlx_GetDeviceState) GetDeviceState;
    decltype(&vlx_SetDeviceNotify) SetDeviceNotify;
    decltype(&vlx_Reopen) Reopen;
    // Profiles.
    decltype(&vlx_SaveProfile) SaveProfile;
    decltype(&vlx_ApplyProfile) ApplyProfile;
    decltype(&vlx_SetAutoProfile) SetAutoProfile;
    decltype(&vlx_GetProfileReport) GetProfileReport;
    decltype(&vlx_GetProfileReportSize) GetProfileReportSize;
    // Stills.
    decltype(&vlx_GetStillFormatList) GetStillFormatList;
    decltype(&vlx_GetStillFormatListSize) GetStillFormatListSize;
    decltype(&vlx_SetStillSize) SetStillSize;
    decltype(&vlx_TriggerStill) TriggerStill;
    decltype(&vlx_WaitStill) WaitStill;
    decltype(&vlx_GetStill) GetStill;
    decltype(&vlx_SaveStill) SaveStill;
    decltype(&vlx_SetStillNotify) SetStillNotify;
    decltype(&vlxcam_PressButton) PressButton;
    // Sound.
    decltype(&vlx_SetAudioDevice) SetAudioDevice;
    decltype(&vlx_SetAudioDevicePath) SetAudioDevicePath;
    decltype(&vlx_GetAudioFormatList) GetAudioFormatList;
    decltype(&vlx_GetAudioFormatListSize) GetAudioFormatListSize;
    decltype(&vlx_SetAudioFormat) SetAudioFormat;
    decltype(&vlx_GetAudioFormat) GetAudioFormat;
    decltype(&vlx_WaitAudio) WaitAudio;
    decltype(&vlx_GetAudio) GetAudio;
    decltype(&vlx_SetAudioNotify) SetAudioNotify;
    // The test camera's device loss.
    decltype(&vlxcam_Unplug) Unplug;
    decltype(&vlxcam_Replug) Replug;
    decltype(&vlxcam_Stall) Stall;
};

// Loaded once; ends the run when an export is missing.
const ExtensionExports& extensions();

// Whether include/vidlox.h documents `code` as a result of `function`
// ("vlx_GetFrame"): the negative codes as its comments state them (read at
// build time by tools/vidlox/header_codes.py, as the tool reads them), the
// others by the rule each function's comment gives (a count, a size, a
// state). vlx_Reopen answers vlx_Open's codes beside its own. No answer for
// a function outside the extensions (the model checks those exactly).
std::optional<bool> documented(const char* function, int32_t code);

// `size` usable bytes, then guard bytes that nothing may touch.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size);
    char* data() { return bytes_.data(); }
    size_t size() const { return size_; }
    // The guard bytes are as they were made.
    bool intact() const;
    // The NUL-terminated text at the start (up to the usable size).
    std::string text() const;

private:
    static constexpr size_t kGuard = 64;
    size_t size_;
    std::vector<char> bytes_;
};

}  // namespace vlx_test
