#include "graph/graph_extension.h"

namespace vlx {

namespace {

// Set by vlx_Init on the host's thread; read only there.
constinit GraphExtension* g_extension = nullptr;

}  // namespace

void set_graph_extension(GraphExtension* extension) { g_extension = extension; }

int32_t extend_graph(int32_t index, Slot& slot, int32_t render_mode) {
    return g_extension ? g_extension->extend(index, slot, render_mode) : 0;
}

}  // namespace vlx
