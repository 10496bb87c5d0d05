#pragma once

#include <cstdint>

namespace vlx {

// vlx_SetDevCapConfig: offers every usable capability of the active slot's
// capture pin, with the requested size and rate written into it, to SetFormat.
int32_t apply_requested_format();

// Whether the active slot asks for any format (width, height or rate set).
bool format_requested();

}  // namespace vlx
