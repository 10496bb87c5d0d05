// IEnumPins and IEnumMediaTypes over fixed lists.
#pragma once

#include "com_ptr.h"

#include <windows.h>
#include <dshow.h>

#include <vector>

namespace vlxcam {

// Pins of a filter; holds a reference on the filter, since the pins share its
// lifetime.
HRESULT create_pin_enumerator(IBaseFilter* filter, std::vector<IPin*> pins, ULONG position, IEnumPins** out);

// Owns deep copies of `types` (taken over here).
HRESULT create_media_type_enumerator(std::vector<AM_MEDIA_TYPE> types, ULONG position, IEnumMediaTypes** out);

}  // namespace vlxcam
