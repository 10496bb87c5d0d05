#!/usr/bin/env python3
"""Checks the shipped DLL as a host would meet it: the export table holds
exactly the expected undecorated names, and every imported DLL is a Windows
system DLL (the C and C++ runtimes are linked in statically)."""
import re
import subprocess
import sys

EXPECTED_EXPORTS = {
    # library frame, errors and log
    "vlx_Init", "vlx_Exit", "vlx_SetActiveSel", "vlx_GetActiveSel", "vlx_GetRef", "vlx_Version",
    "vlx_SetLogLevel", "vlx_SetLogBuffer", "vlx_SetErrorCallbackHwnd", "vlx_GetLastError",
    # buffer size dispatcher
    "vlx_GetBufferSize",
    # device and codec lists
    "vlx_GetDeviceList", "vlx_GetDeviceListSize", "vlx_GetCodecList", "vlx_GetCodecListSize",
    # capture graph and running control
    "vlx_Open", "vlx_SetDevCapConfig", "vlx_Play", "vlx_Play2", "vlx_ReSize", "vlx_Stop", "vlx_SetCapConfig",
    "vlx_Close", "vlx_GetState",
    # graph filter list (two names, one function)
    "vlx_StreamFilterList", "vlx_GetStreamFilterList", "vlx_GetStreamFilterListSize",
    # frames
    "vlx_GetImage", "vlx_GetImageMemSize", "vlx_GetImageMem",
    # still pictures
    "vlx_SaveBMP", "vlx_SaveImage",
    # requested capture format
    "vlx_SetDevWidth", "vlx_SetDevHeight", "vlx_SetDevFrameRate",
    # capture capabilities
    "vlx_GetDevCapConfig", "vlx_GetDevCapConfigSize", "vlx_GetCapInfo",
    # property pages, codec dialog, mixing renderer controls
    "vlx_FilterProp", "vlx_DevPinProp", "vlx_CodecDialog", "vlx_VMRMixImage", "vlx_SetVMRDeinterlace",
    # video file encoder
    "vlx_InitEncoder", "vlx_UnInitEncoder", "vlx_CreateEncoder", "vlx_OpenEncoder", "vlx_WriteEncoder",
    "vlx_CloseEncoder", "vlx_DeleteEncoder",
}

# Extensions, by their heading in vidlox.h.
CAMERA_CONTROL_EXPORTS = {"vlx_GetControlRange", "vlx_GetControl", "vlx_SetControl", "vlx_GetControlList",
                          "vlx_GetControlListSize"}
# capture formats
CAPTURE_FORMAT_EXPORTS = {"vlx_GetFormatList", "vlx_GetFormatListSize", "vlx_SetDevSubtype", "vlx_SetDevFormatChoice",
                          "vlx_GetDevFormat"}
# frame events
FRAME_EVENT_EXPORTS = {"vlx_WaitFrame", "vlx_GetFrame", "vlx_SetFrameNotify", "vlx_LockFrame", "vlx_UnlockFrame",
                       "vlx_GetFrameHolding"}
# device identity and health
DEVICE_HEALTH_EXPORTS = {"vlx_GetDevicePathList", "vlx_GetDevicePathListSize", "vlx_FindDevice", "vlx_GetDeviceState",
                         "vlx_SetDeviceNotify", "vlx_Reopen"}
# shared camera
SHARED_CAMERA_EXPORTS = {"vlx_ShareSlot", "vlx_GetShareInfo"}
STILL_EXPORTS = {"vlx_GetStillFormatList", "vlx_GetStillFormatListSize", "vlx_SetStillSize", "vlx_TriggerStill",
                 "vlx_WaitStill", "vlx_GetStill", "vlx_SaveStill", "vlx_SetStillNotify"}
# profiles
PROFILE_EXPORTS = {"vlx_SaveProfile", "vlx_ApplyProfile", "vlx_SetAutoProfile", "vlx_GetProfileReport",
                   "vlx_GetProfileReportSize"}

EXPECTED_EXPORTS |= CAMERA_CONTROL_EXPORTS | CAPTURE_FORMAT_EXPORTS | FRAME_EVENT_EXPORTS | DEVICE_HEALTH_EXPORTS
SOUND_EXPORTS = {"vlx_SetAudioDevice", "vlx_SetAudioDevicePath", "vlx_GetAudioFormatList",
                 "vlx_GetAudioFormatListSize", "vlx_SetAudioFormat", "vlx_GetAudioFormat", "vlx_WaitAudio",
                 "vlx_GetAudio", "vlx_SetAudioNotify"}
EXPECTED_EXPORTS |= SHARED_CAMERA_EXPORTS | PROFILE_EXPORTS | STILL_EXPORTS | SOUND_EXPORTS

SYSTEM_DLLS = {
    "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "user32.dll", "gdi32.dll",
    "advapi32.dll", "mfplat.dll", "mfreadwrite.dll", "windowscodecs.dll", "quartz.dll",
}


def main():
    dll, objdump = sys.argv[1], sys.argv[2]
    dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout

    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)}
    section = dump.split("[Ordinal/Name Pointer] Table", 1)
    table = section[1].split("\n\n", 1)[0] if len(section) > 1 else ""
    exports = set(re.findall(r"\]\s+(\S+)\s*$", table, re.M))

    ok = True
    if exports != EXPECTED_EXPORTS:
        ok = False
        print("missing exports:", sorted(EXPECTED_EXPORTS - exports))
        print("unexpected exports:", sorted(exports - EXPECTED_EXPORTS))
    # One function under two exported names: both names lead to one address.
    address_table = dump.split("Export Address Table --", 1)
    addresses = dict(re.findall(r"\[\s*(\d+)\] \+base\[\s*\d+\] ([0-9a-f]+) Export RVA", address_table[-1]))
    slots = {name: slot for slot, name in re.findall(r"\[\s*(\d+)\]\s+(\S+)\s*$", table, re.M)}
    aliases = [addresses.get(slots.get(name, "?")) for name in ("vlx_StreamFilterList", "vlx_GetStreamFilterList")]
    if None in aliases or aliases[0] != aliases[1]:
        ok = False
        print("vlx_GetStreamFilterList is not vlx_StreamFilterList:", aliases)
    foreign = sorted(imports - SYSTEM_DLLS)
    if foreign:
        ok = False
        print("imports that are not Windows system DLLs:", foreign)
    print("exports:", len(exports), "imports:", sorted(imports))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
