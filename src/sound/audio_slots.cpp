#include "sound/audio_slots.h"

#include "common/no_destroy.h"
#include "library/library_state.h"

#include <array>

namespace vlx::sound {

namespace {

constinit NoDestroy<std::array<SlotSound, kSlotCount>> g_sound;

}  // namespace

SlotSound& slot_sound(int32_t slot) { return g_sound.value[static_cast<size_t>(slot)]; }
SlotSound& active_sound() { return slot_sound(library().active_slot); }

}  // namespace vlx::sound
