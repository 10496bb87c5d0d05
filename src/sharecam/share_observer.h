// Sharing's subscription to a slot's life (graph/slot_observer.h): a slot
// whose graph is released stops publishing before its grabber goes, and a
// grabber connected again in another size publishes in that size.
#pragma once

#include "graph/slot_observer.h"

namespace vlx::sharecam {

SlotObserver& share_observer();

// vlx_Exit: every channel of this process is given up (an exit observer).
void library_exiting() noexcept;

}  // namespace vlx::sharecam
