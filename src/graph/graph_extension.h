// A feature's part of the graph vlx_Open builds (the audio branch of sound/).
// graph/ knows none of the features: one registers itself from above, and
// vlx_Open calls it once the renderer branch stands. Unlike the slot
// observers, an extension may fail the open: its code is vlx_Open's, and
// the slot is released as after any failed step.
#pragma once

#include "library/library_state.h"

#include <cstdint>

namespace vlx {

class GraphExtension {
public:
    // Adds to slot `index`'s graph, built with `render_mode`: 0, or the
    // negative code vlx_Open returns.
    virtual int32_t extend(int32_t index, Slot& slot, int32_t render_mode) = 0;

protected:
    ~GraphExtension() = default;
};

// vlx_Init registers the one extension (again: replaces it).
void set_graph_extension(GraphExtension* extension);

// graph/'s own step: 0 without an extension.
int32_t extend_graph(int32_t index, Slot& slot, int32_t render_mode);

}  // namespace vlx
