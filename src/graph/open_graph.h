#pragma once

#include <cstdint>

namespace vlx {

// vlx_Open: builds the active slot's capture graph for device `device_index`
// with the renderer branch of `render_mode`.
int32_t open_device(int32_t device_index, int32_t render_mode, int32_t reserved, intptr_t mode_param1,
                    intptr_t mode_param2);

}  // namespace vlx
