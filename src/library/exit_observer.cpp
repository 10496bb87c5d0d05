#include "library/exit_observer.h"

#include <array>
#include <cstddef>

namespace vlx {

namespace {

constinit std::array<ExitObserver, 4> g_observers{};
constinit size_t g_count = 0;

}  // namespace

bool add_exit_observer(ExitObserver observer) {
    for (size_t i = 0; i < g_count; ++i) {
        if (g_observers[i] == observer) return true;
    }
    if (g_count == g_observers.size()) return false;
    g_observers[g_count++] = observer;
    return true;
}

void announce_library_exit() {
    for (size_t i = 0; i < g_count; ++i) g_observers[i]();
}

}  // namespace vlx
