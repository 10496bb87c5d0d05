// The codes of the format functions (include/vidlox.h: vlx_SetDevCapConfig,
// the format step of vlx_Open, "Extensions: capture formats"), named once.
#pragma once

#include <cstdint>

namespace vlx {

// Reaching the capture pin's IAMStreamConfig on the active slot, shared by
// vlx_SetDevCapConfig and the capability lists.
enum CapabilityAccessCode : int32_t {
    kCapsNotInitialised = -1,
    kCapsNoGraph = -2,
    kCapsNoDevice = -3,
    kCapsNoStreamConfig = -4,
};

// vlx_SetDevCapConfig's own answers past the capability access.
enum FormatStepCode : int32_t {
    kFormatInForce = 0,
    kFormatRefused = 1,     // the device refused a format (the offers stop there)
    kNothingToChoose = -5,  // choice 1 or 2: nothing the grabber can be given
    kNoExactMatch = -6,     // choice 1: no capability equals the request
    // The format was taken, but an output of the Smart Tee behind the
    // capture pin could be connected again neither with it nor with its old
    // type: the branch behind it no longer receives frames.
    kTeeLeftUnconnected = -7,
};

// vlx_Open's codes for a failed format step.
enum OpenFormatCode : int32_t {
    kOpenFormatFailed = -57,
    kOpenNoExactMatch = -60,
    kOpenNothingToChoose = -61,
};

// vlx_GetFormatList and its size query: the device bound afresh, its
// capture pin and its capabilities.
enum FormatListCode : int32_t {
    kListNotInitialised = -1,
    kListNegativeIndex = -2,
    kListNoDeviceEnumerator = -3,
    kListNoCaptureDevice = -4,
    kListIndexOutOfRange = -5,
    kListCannotBind = -6,
    kListEnumPinsFailed = -7,
    kListNoCapturePin = -8,
    kListNoStreamConfig = -9,
    kListCountFailed = -10,
    kListNotAVideoPin = -11,
    kListOutOfMemory = -12,
};

// vlx_GetDevFormat.
enum FormatInForceCode : int32_t {
    kInForceWritten = 0,
    kInForceNotInitialised = -1,
    kInForceNullArgument = -2,
    kInForceNoGraph = -3,
    kInForceNoDevice = -4,
    kInForceNoStreamConfig = -5,
    kInForceConfigOnNoPin = -6,
    kInForceReadFailed = -7,
    kInForceNotVideo = -8,
    kInForceOutOfMemory = -9,
};

// vlx_SetDevSubtype and vlx_SetDevFormatChoice.
enum FormatRequestCode : int32_t {
    kRequestStored = 0,
    kRequestRefused = -1,       // no subtype by that text; no such choice
    kRequestOutOfMemory = -2,   // vlx_SetDevSubtype
};

}  // namespace vlx
