// The codes of the stills extension (include/vidlox.h, "Extensions:
// stills"), named once.
#pragma once

#include <cstdint>

namespace vlx {

// vlx_SetStillSize, and the still branch's build at vlx_Open.
enum StillSizeCode : int32_t {
    kStillSizeSet = 0,
    kStillsFromCapture = 1,  // the open slot's device has no still pin
    kStillNotInitialised = -1,
    kStillBadSize = -2,
    kStillSlotRunning = -3,
    kStillNoStreamConfig = -4,
    kStillNoSuchSize = -5,
    kStillFormatRefused = -6,
    kStillNoGrabber = -7,
    kStillNoRenderer = -8,
    kStillNotRendered = -9,
    kStillCallbackRefused = -10,
    kStillNoConnection = -11,
    kStillOutOfMemory = -12,
};

// vlx_TriggerStill.
enum TriggerCode : int32_t {
    kTriggered = 0,
    kTriggerSlotNotOpen = -1,
    kTriggerNotRunning = -2,
    kTriggerNoBranch = -3,       // the device has a still pin, the slot no still branch
    kTriggerNoControl = -4,      // no IAMVideoControl, or no trigger on the still pin
    kTriggerRefused = -5,        // SetMode(Trigger) failed
    kTriggerNoGrabber = -6,      // a device without a still pin: no capture grabber
    kTriggerNoFormat = -7,
    kTriggerCallbackRefused = -8,
    kTriggerOutOfMemory = -9,
};

// vlx_WaitStill, vlx_GetStill, vlx_SaveStill, vlx_SetStillNotify.
enum StillTakeCode : int32_t {
    kStillSlotNotOpen = -1,
    kStillWaitNotRunning = -2,
    kStillNotAWindow = -2,
    kStillTooSmall = -4,
    kStillWaitQuit = -4,
    kStillNullArgument = -5,
    kStillWaitClosed = -5,
    kStillWaitFailed = -6,
    kStillNoneWaiting = -7,
    kStillTakeOutOfMemory = -9,
};

}  // namespace vlx
