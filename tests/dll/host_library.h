// vidlox64.dll loaded the way a host loads it: LoadLibrary and
// GetProcAddress, nothing linked at build time.
#pragma once

#include "vidlox.h"

#include <windows.h>

#include <string>

namespace vlx_test {

struct Vidlox {
    decltype(&vlx_Init) Init;
    decltype(&vlx_Exit) Exit;
    decltype(&vlx_SetActiveSel) SetActiveSel;
    decltype(&vlx_GetActiveSel) GetActiveSel;
    decltype(&vlx_GetRef) GetRef;
    decltype(&vlx_Version) Version;
    decltype(&vlx_SetLogLevel) SetLogLevel;
    decltype(&vlx_SetLogBuffer) SetLogBuffer;
    decltype(&vlx_SetErrorCallbackHwnd) SetErrorCallbackHwnd;
    decltype(&vlx_GetLastError) GetLastError;
    decltype(&vlx_GetBufferSize) GetBufferSize;
    decltype(&vlx_GetDeviceList) GetDeviceList;
    decltype(&vlx_GetDeviceListSize) GetDeviceListSize;
    decltype(&vlx_GetCodecList) GetCodecList;
    decltype(&vlx_GetCodecListSize) GetCodecListSize;
    decltype(&vlx_Open) Open;
    decltype(&vlx_SetDevCapConfig) SetDevCapConfig;
    decltype(&vlx_Play) Play;
    decltype(&vlx_Play2) Play2;
    decltype(&vlx_ReSize) ReSize;
    decltype(&vlx_Stop) Stop;
    decltype(&vlx_SetCapConfig) SetCapConfig;
    decltype(&vlx_Close) Close;
    decltype(&vlx_GetState) GetState;
    decltype(&vlx_StreamFilterList) StreamFilterList;
    decltype(&vlx_GetStreamFilterList) GetStreamFilterList;
    decltype(&vlx_GetStreamFilterListSize) GetStreamFilterListSize;
    decltype(&vlx_GetImage) GetImage;
    decltype(&vlx_GetImageMemSize) GetImageMemSize;
    decltype(&vlx_GetImageMem) GetImageMem;
    decltype(&vlx_SaveBMP) SaveBMP;
    decltype(&vlx_SaveImage) SaveImage;
    decltype(&vlx_SetDevWidth) SetDevWidth;
    decltype(&vlx_SetDevHeight) SetDevHeight;
    decltype(&vlx_SetDevFrameRate) SetDevFrameRate;
    decltype(&vlx_GetDevCapConfig) GetDevCapConfig;
    decltype(&vlx_GetDevCapConfigSize) GetDevCapConfigSize;
    decltype(&vlx_GetCapInfo) GetCapInfo;
    decltype(&vlx_FilterProp) FilterProp;
    decltype(&vlx_DevPinProp) DevPinProp;
    decltype(&vlx_CodecDialog) CodecDialog;
    decltype(&vlx_VMRMixImage) VMRMixImage;
    decltype(&vlx_SetVMRDeinterlace) SetVMRDeinterlace;
    decltype(&vlx_InitEncoder) InitEncoder;
    decltype(&vlx_UnInitEncoder) UnInitEncoder;
    decltype(&vlx_CreateEncoder) CreateEncoder;
    decltype(&vlx_OpenEncoder) OpenEncoder;
    decltype(&vlx_WriteEncoder) WriteEncoder;
    decltype(&vlx_CloseEncoder) CloseEncoder;
    decltype(&vlx_DeleteEncoder) DeleteEncoder;
};

// The library, loaded once for the whole test program; fails the test run
// when it or one of its exports is missing.
const Vidlox& vidlox();

// Puts the library's log and error settings back to their load-time values.
void reset_reporting();

// Position of the device `name` in vlx_GetDeviceList (the library
// initialised), or -1.
int32_t device_index(const wchar_t* name);
// vlx_Init, then device_index of `name`; -1, with a line on stderr, when
// either fails. For programs that cannot run without that device.
int32_t init_and_find_device(const wchar_t* name);

// Closes every slot and clears its requested format, as a tidy host ends;
// the last slot stays active.
void close_every_slot();

std::string utf8(const wchar_t* text);

}  // namespace vlx_test
