// vlx_Reopen: the active slot's device again, found by its path, opened
// as it was last opened and, if it was running, run again.
#pragma once

#include <cstdint>

namespace vlx::health {

int32_t reopen();

}  // namespace vlx::health
