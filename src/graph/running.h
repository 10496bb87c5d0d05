// Running control of the active slot's graph: start, stop, preview window
// placement, sample buffering, state, close.
#pragma once

#include <cstdint>

namespace vlx {

int32_t play(int32_t owner_window, int32_t x, int32_t y, int32_t width, int32_t height);
int32_t play_without_window();
int32_t place_preview(int32_t owner_window, int32_t x, int32_t y, int32_t width, int32_t height);
int32_t stop();
int32_t set_buffering(int32_t buffering);
int32_t close_slot();
int32_t graph_state();

}  // namespace vlx
