// The codes of the sound extension (include/vidlox.h, "Extensions: sound").
#pragma once

#include <cstdint>

namespace vlx::sound {

// vlx_Open with an audio device chosen.
enum OpenCode : int32_t {
    kOpenNoAudioDevice = -120,      // no audio device at that index or path
    kOpenAudioNotAdded = -121,      // BindToObject or AddFilter failed
    kOpenFormatNotOffered = -122,   // the requested format is not among the pin's
    kOpenFormatRefused = -123,      // SetFormat refused it
    kOpenAudioGrabber = -124,       // the audio Sample Grabber or its callback
    kOpenAudioNotRendered = -125,   // the capture pin connects to nothing (refuses every format)
    kOpenAudioInUse = -126,         // another program holds the device
    kOpenAudioDidNotStart = -127,   // the device failed to start for another reason
};

// vlx_SetAudioFormat.
enum FormatCode : int32_t {
    kFormatNotInitialised = -1,
    kFormatNegative = -2,
    kFormatNotOffered = -3,
    kFormatRunning = -4,
    kFormatRefused = -5,
};

// vlx_WaitAudio, vlx_GetAudio, vlx_SetAudioNotify, vlx_GetAudioFormat.
enum BlockCode : int32_t {
    kBlocksNotOpen = -1,
    kBlocksNoAudio = -2,
    kBlocksNotRunning = -3,
    kBlocksQuit = -4,
    kBlocksClosed = -5,
    kBlocksWaitFailed = -6,
    kBlocksSizeTooSmall = -7,
    kBlocksNullArgument = -8,
    kBlocksNone = -9,
    kBlocksNotAWindow = -10,
};

}  // namespace vlx::sound
