// IEnumPins and IEnumMediaTypes over fixed lists.
#pragma once

#include "comkit/com_base.h"

#include <windows.h>
#include <dshow.h>

#include <vector>

namespace vlxcom {

// Pins of a filter; holds a reference on the filter, whose lifetime the
// pins share.
HRESULT create_pin_enumerator(IBaseFilter* filter, std::vector<IPin*> pins, IEnumPins** out);

// Takes `types` over (deep copies, freed here when no enumerator comes of
// them); every Next hands out a copy of its own.
HRESULT create_media_type_enumerator(std::vector<AM_MEDIA_TYPE> types, IEnumMediaTypes** out);

}  // namespace vlxcom
