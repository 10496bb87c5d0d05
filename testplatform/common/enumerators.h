// IEnumPins and IEnumMediaTypes over fixed lists.
#pragma once

#include "com_base.h"

#include <windows.h>
#include <dshow.h>

#include <vector>

namespace vlxtp {

// Pins of a filter; holds a reference on the filter, whose lifetime the
// pins share.
HRESULT create_pin_enumerator(IBaseFilter* filter, std::vector<IPin*> pins, IEnumPins** out);

// Hands out deep copies of `types` (which stay the caller's).
HRESULT create_media_type_enumerator(const std::vector<const AM_MEDIA_TYPE*>& types, IEnumMediaTypes** out);

}  // namespace vlxtp
