// DirectShow declarations the MinGW-w64 headers leave out.
#pragma once

#include <windows.h>
// dshow.h must come before qedit.h; vmr9.h needs d3d9.h first.
#include <dshow.h>
#include <qedit.h>
#include <d3d9.h>
#include <vmr9.h>

// Interfaces whose __uuidof the MinGW-w64 headers do not declare.
__CRT_UUID_DECL(IVideoWindow, 0x56a868b4, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IVMRFilterConfig, 0x9e5530c5, 0x7034, 0x48b4, 0xbb, 0x46, 0x0b, 0x8a, 0x6e, 0xfc, 0x8e, 0x36)

namespace vlx {

// qedit.dll classes, by their documented values.
// {C1F400A0-3F08-11D3-9F0B-006008039E37}
inline constexpr GUID kClsidSampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
// {C1F400A4-3F08-11D3-9F0B-006008039E37}
inline constexpr GUID kClsidNullRenderer = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

}  // namespace vlx
