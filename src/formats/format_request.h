// The subtype and the kind of choice a slot asks for, stored beside the
// requested width, height and rate and kept across vlx_Close like them.
#pragma once

#include "formats/format_choice.h"
#include "library/library_state.h"

#include <cstdint>

namespace vlx {

// vlx_SetDevSubtype and vlx_SetDevFormatChoice: no checks of
// initialisation or slot state, as the other requests.
int32_t request_subtype(const char* subtype);
int32_t request_format_choice(int32_t choice);

// Whether the slot asks for one capability (choice exact or nearest).
bool chooses_one_format(const Slot& slot);
// Whether the slot asks for a subtype.
bool subtype_requested(const Slot& slot);

// The slot's request in the form the choice weighs it.
FormatRequest format_request_of(const Slot& slot);

}  // namespace vlx
