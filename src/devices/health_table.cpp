#include "devices/health_table.h"

#include "common/no_destroy.h"
#include "library/library_state.h"

namespace vlx::health {

namespace {

struct HealthTable {
    // Default-initialised, not value-initialised: GCC 12 cannot constant-
    // initialise an array of strings from a braced temporary.
    std::array<SlotHealth, kSlotCount> slots;
    bool tracking_wanted = false;
};

// Constant-initialised and never destroyed, as the slot table is: nothing
// runs at load, and nothing is released under the loader lock at unload.
constinit NoDestroy<HealthTable> g_health;
constinit SRWLOCK g_lock = SRWLOCK_INIT;

}  // namespace

HealthFacts Watch::facts() const {
    HealthFacts facts;
    facts.running = running;
    facts.run_result = run_result;
    facts.lost = lost;
    facts.audio_lost = audio_lost;
    facts.aborted = aborted;
    facts.abort_result = abort_result;
    facts.run_started_ms = run_started_ms;
    facts.frame_interval = frame_interval;
    if (tap) {
        facts.frame_since_run = tap->frames() > frames_at_run;
        facts.last_arrival_ms = tap->last_arrival_ms();
    }
    return facts;
}

SlotHealth& slot_health(int32_t slot) { return g_health.value.slots[static_cast<size_t>(slot)]; }

int32_t active_slot_index() { return library().active_slot; }

bool tracking_wanted() { return g_health.value.tracking_wanted; }
void set_tracking_wanted(bool wanted) { g_health.value.tracking_wanted = wanted; }

HealthLock::HealthLock() { AcquireSRWLockExclusive(&g_lock); }
HealthLock::~HealthLock() { ReleaseSRWLockExclusive(&g_lock); }

}  // namespace vlx::health
