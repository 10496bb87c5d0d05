#include "graph/slot_observer.h"

#include <array>
#include <cstddef>

namespace vlx {

namespace {

// Device health, frame events and sharing, with room to spare. Filled once
// by vlx_Init on the host's thread; read only there.
constinit std::array<SlotObserver*, 8> g_observers{};
constinit size_t g_count = 0;

template <class Tell>
void tell_all(Tell&& tell) noexcept {
    for (size_t i = 0; i < g_count; ++i) {
        try {
            tell(*g_observers[i]);
        } catch (...) {
            // The step goes on as if nobody watched.
        }
    }
}

}  // namespace

bool add_slot_observer(SlotObserver& observer) {
    for (size_t i = 0; i < g_count; ++i) {
        if (g_observers[i] == &observer) return true;
    }
    if (g_count == g_observers.size()) return false;
    g_observers[g_count++] = &observer;
    return true;
}

void announce_device_bound(int32_t slot, IMoniker* moniker) {
    tell_all([&](SlotObserver& o) { o.device_bound(slot, moniker); });
}
void announce_opened(int32_t slot, const OpenedGraph& graph) {
    tell_all([&](SlotObserver& o) { o.opened(slot, graph); });
}
void announce_connection_changed(int32_t slot) {
    tell_all([&](SlotObserver& o) { o.connection_changed(slot); });
}
void announce_ran(int32_t slot, HRESULT ran, bool with_window) {
    tell_all([&](SlotObserver& o) { o.ran(slot, ran, with_window); });
}
void announce_stopped(int32_t slot) {
    tell_all([&](SlotObserver& o) { o.stopped(slot); });
}
void announce_placed(int32_t slot, const PreviewPlacement& placement) {
    tell_all([&](SlotObserver& o) { o.placed(slot, placement); });
}
void announce_releasing(int32_t slot) {
    tell_all([&](SlotObserver& o) { o.releasing(slot); });
}

}  // namespace vlx
