// The automatic profile of each slot (vlx_SetAutoProfile): applied after
// every open of the slot that builds its graph, by this feature's observer
// of the slots' lives.
#pragma once

#include "graph/slot_observer.h"

#include <cstdint>

namespace vlx::profiles {

// vlx_SetAutoProfile.
int32_t set_auto_profile(const char* file);

// The observer that applies it (subscribed by vlx_Init, after device
// identity's, whose note of the device's path it reads).
SlotObserver& auto_profile_observer();

// vlx_Exit: the automatic profiles and the reports go.
void library_exiting() noexcept;

}  // namespace vlx::profiles
