#include "library/buffer_size.h"

#include "vidlox.h"

namespace vlx {

// No check of its own: whatever the selected function checks, reports and
// returns, the host sees unchanged.
int32_t buffer_size(int32_t query) {
    switch (query) {
    case 0:
        return vlx_GetDeviceListSize(0);
    case 1:
        return vlx_GetDeviceListSize(1);
    case 2:
        return vlx_GetStreamFilterListSize();
    case 3:
        return vlx_GetCodecListSize(0);
    case 4:
        return vlx_GetCodecListSize(1);
    case 5:
        return vlx_GetImageMemSize(0);
    case 6:
        return vlx_GetImageMemSize(1);
    case 7:
        return vlx_GetDevCapConfigSize(0);
    case 8:
        return vlx_GetDevCapConfigSize(1);
    case 9:
        return vlx_GetDevCapConfigSize(2);
    default:
        return -1;
    }
}

}  // namespace vlx
