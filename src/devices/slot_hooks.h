// What the graph's own steps tell device identity and health. Each call is
// made by the step it is named after, on the host's thread, and adds no log
// line and no reported call to it: the base exports keep their results and
// their log bytes.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>

namespace vlx::health {

// vlx_Open is binding `moniker` into the active slot: its path is kept.
void note_bound_device(IMoniker* moniker);
// vlx_Open built the active slot's graph with these arguments.
void note_opened(int32_t render_mode, intptr_t mode_param1, intptr_t mode_param2);
// vlx_Play (with_window) or vlx_Play2 ran the active slot's graph; Run answered `ran`.
void note_run(HRESULT ran, bool with_window);
// vlx_Stop stopped the active slot's graph.
void note_stopped();
// vlx_Play or vlx_ReSize placed the active slot's preview.
void note_placement(int32_t owner, int32_t x, int32_t y, int32_t width, int32_t height);
// The active slot's interfaces are about to be released (vlx_Close, a failed vlx_Open).
void note_releasing();
// vlx_Exit is ending the library, before COM goes.
void note_exiting();

}  // namespace vlx::health
