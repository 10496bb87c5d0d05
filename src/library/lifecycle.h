// Starting and ending the library, slot selection, version.
#pragma once

#include "vidlox.h"

#include <cstdint>

namespace vlx {

inline constexpr int32_t kVersion = VLX_VERSION;

int32_t init_library();
int32_t exit_library();
int32_t select_slot(int32_t slot);
int32_t selected_slot();
int32_t selected_slot_state();

}  // namespace vlx
