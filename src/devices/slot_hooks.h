// What the graph's own steps tell device identity and health: this feature's
// observer of every slot's life, and of the library's end. Each note is
// made by the step it is named after, on the host's thread, and adds no log
// line and no reported call to it: the base exports keep their results and
// their log bytes.
#pragma once

#include "graph/slot_observer.h"

namespace vlx::health {

// Device health's observer of the slots (subscribed by vlx_Init).
SlotObserver& slot_observer();

// vlx_Exit is ending the library, before COM goes: the watcher ends and lets
// go of every graph.
void library_exiting() noexcept;

}  // namespace vlx::health
