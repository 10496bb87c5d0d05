#pragma once

#include <cstdint>

namespace vlx {

// vlx_SetDevCapConfig: offers every usable capability of the active slot's
// capture pin, with the requested size and rate written into it, to SetFormat;
// a slot that asks for one capability has only the chosen one offered
// (formats/chosen_format.h).
int32_t apply_requested_format();

// Whether the active slot asks for any format (width, height or rate set;
// the subtype too when it asks for one capability).
bool format_requested();

}  // namespace vlx
