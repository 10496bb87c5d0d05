// The renderer (or AVI) branch that vlx_Open builds for a render mode.
#pragma once

#include "library/library_state.h"

#include <cstdint>

namespace vlx {

// Builds the branch for `render_mode` into `slot`; 0, or the failing step's
// code. Modes without a branch build nothing and return 0.
int32_t build_render_branch(Slot& slot, int32_t render_mode, intptr_t mode_param1, intptr_t mode_param2);

}  // namespace vlx
