#include "exports/feature_observers.h"

#include "devices/slot_hooks.h"
#include "events/slot_tracking.h"
#include "library/exit_observer.h"
#include "profiles/auto_profile.h"
#include "sharecam/share_observer.h"
#include "stills/still_slots.h"
#include "sound/sound.h"

namespace vlx {

void subscribe_features() {
    // Health first: when a slot is released, the watcher lets go of its
    // graph before anything else does.
    add_slot_observer(health::slot_observer());
    add_slot_observer(frame_events_observer());
    // Stills before sharing: both only let go of what they hold of the graph.
    add_slot_observer(stills_observer());
    add_exit_observer(health::library_exiting);
    // Profiles after health: an automatic profile reads the device path
    // that health noted when the slot was opened.
    add_slot_observer(profiles::auto_profile_observer());
    add_exit_observer(profiles::library_exiting);
    // Sharing last: a released slot's channel is given up before its grabber goes.
    add_slot_observer(sharecam::share_observer());
    add_exit_observer(sharecam::library_exiting);
    // Sound's audio branch goes before the graph does, like the others' holds.
    sound::subscribe_sound();
}

}  // namespace vlx
