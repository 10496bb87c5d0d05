#include "config/requested_format.h"

#include "library/library_state.h"

namespace vlx {

// No checks of any kind: the values wait in the slot for the next open (or
// vlx_SetDevCapConfig) and survive vlx_Close.
int32_t request_width(int32_t width) {
    active_slot().requested_width = width;
    return 0;
}

int32_t request_height(int32_t height) {
    active_slot().requested_height = height;
    return 0;
}

int32_t request_frame_rate(double frame_rate) {
    active_slot().requested_frame_rate = frame_rate;
    return 0;
}

}  // namespace vlx
