// Deinterlacing preferences or mode of the slot's Video Mixing Renderer.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

// vlx_SetVMRDeinterlace: -1 not initialised, -2 no mixing renderer in the
// slot's mode, -3 the mode's VMR filter is null, -4 the renderer offers no
// deinterlace control; otherwise the HRESULT of SetDeinterlacePrefs (prefs
// not 0) or SetDeinterlaceMode(0xFFFFFFFF, mode or GUID_NULL).
int32_t set_deinterlace(uint32_t deinterlace_prefs, const GUID* mode_guid);

}  // namespace vlx
