// The capture format a host asks for, per slot, applied at the next open.
#pragma once

#include <cstdint>

namespace vlx {

int32_t request_width(int32_t width);
int32_t request_height(int32_t height);
int32_t request_frame_rate(double frame_rate);

}  // namespace vlx
