// A bitmap blended over the running preview of a Video Mixing Renderer
// (VMR7 in render mode 1, VMR9 in render mode 2).
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

// What vlx_VMRMixImage receives, in argument order.
struct MixImageRequest {
    HDC source_dc;
    int32_t source_left, source_top, source_right, source_bottom;
    float alpha;
    float dest_left, dest_top, dest_right, dest_bottom;  // normalized video coordinates
    int32_t use_color_key;                               // 1: the key colour is transparent
    int32_t key_red, key_green, key_blue;                // low 8 bits of each
};

// vlx_VMRMixImage: -1 not running, -2 no mixing renderer in the slot's
// mode, -3 the mode's VMR filter is null, -8 the renderer offers no mixer
// bitmap; otherwise SetAlphaBitmap's result, E_INVALIDARG, E_POINTER,
// E_OUTOFMEMORY and E_FAIL given as -4 ... -7.
int32_t mix_image(const MixImageRequest& request);

}  // namespace vlx
