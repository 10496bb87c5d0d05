// vlx_GetBufferSize: every size query of the library behind one number.
#pragma once

#include <cstdint>

namespace vlx {

// The result of the size query that `query` (0-9) selects, exactly as that
// exported function returns it; -1 for any other number.
int32_t buffer_size(int32_t query);

}  // namespace vlx
