// The codes of the device identity and health functions (include/vidlox.h,
// "Extensions: device identity and health"), named once.
#pragma once

#include <cstdint>

namespace vlx::health {

// vlx_GetDevicePathList and its size query, and the walk of vlx_FindDevice.
enum PathListCode : int32_t {
    kPathsNotInitialised = -1,
    kPathsNoDeviceEnumerator = -2,
    kPathsNoEnumerator = -3,
    kPathsOutOfMemory = -4,
};

// vlx_FindDevice past the walk's own codes.
enum FindDeviceCode : int32_t {
    kFindNotInitialised = -1,
    kFindNoSuchDevice = -4,
    kFindNegativeOccurrence = -5,
    kFindOutOfMemory = -6,
};

// vlx_GetDeviceState.
enum DeviceStateCode : int32_t {
    kStateNotInitialised = -1,
    kStateSlotNotOpen = -2,
    kStateNoEventQueue = -3,        // none, or it cannot be read
    kStateCallbackRefused = -4,
    kStateOutOfMemory = -5,
};

// vlx_SetDeviceNotify.
enum DeviceNotifyCode : int32_t {
    kNotifyDone = 0,
    kNotifyNotInitialised = -1,
    kNotifyNoWatcher = -2,          // the thread cannot be started, or memory ran out
    kNotifyNotAWindow = -3,
};

// vlx_Reopen.
enum ReopenCode : int32_t {
    kReopenNotInitialised = -1,
    kReopenNeverOpened = -110,
    kReopenNoDeviceWithPath = -111,
    kReopenNoDeviceEnumerator = -112,
    kReopenOutOfMemory = -113,
};

}  // namespace vlx::health
