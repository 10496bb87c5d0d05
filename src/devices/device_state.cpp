#include "devices/device_state.h"

#include "vidlox.h"

#include "library/in_use_results.h"

#include <algorithm>

namespace vlx::health {

namespace {

constexpr uint64_t kTicksPerMs = 10000;  // 100 ns units

// A frame may be stamped on the streaming thread just after `now` was read.
uint64_t elapsed(uint64_t now, uint64_t since) { return now > since ? now - since : 0; }

}  // namespace

uint64_t stall_after_ms(int64_t frame_interval) {
    const uint64_t intervals =
        frame_interval > 0 ? static_cast<uint64_t>(frame_interval) * VLX_STALL_FRAME_INTERVALS / kTicksPerMs : 0;
    return std::max<uint64_t>(intervals, VLX_STALL_MIN_MS);
}

int32_t device_state(const HealthFacts& facts, uint64_t now_ms) {
    // A device that is gone stays gone, stopped or not, until the host
    // builds a new graph for it.
    if (facts.lost) return VLX_DEVICE_LOST;
    if (!facts.running) return VLX_DEVICE_NOT_RUNNING;
    if (FAILED(facts.run_result)) return means_in_use(facts.run_result) ? VLX_DEVICE_IN_USE : VLX_DEVICE_ERROR;
    // A graph manager that starts its filters on a thread of its own cannot
    // fail Run with the device's answer; the device reports it instead.
    if (facts.aborted) {
        return means_in_use(facts.abort_result) && !facts.frame_since_run ? VLX_DEVICE_IN_USE : VLX_DEVICE_ERROR;
    }
    const uint64_t stall_after = stall_after_ms(facts.frame_interval);
    if (!facts.frame_since_run) {
        // Cameras take a while to deliver their first frame after Run.
        const uint64_t first_frame_wait = std::max<uint64_t>(stall_after, VLX_FIRST_FRAME_WAIT_MS);
        return elapsed(now_ms, facts.run_started_ms) > first_frame_wait ? VLX_DEVICE_STALLED : VLX_DEVICE_WAITING;
    }
    if (elapsed(now_ms, facts.last_arrival_ms) > stall_after) return VLX_DEVICE_STALLED;
    // The picture still comes; the slot's audio device does not.
    return facts.audio_lost ? VLX_DEVICE_AUDIO_LOST : VLX_DEVICE_DELIVERING;
}

}  // namespace vlx::health
