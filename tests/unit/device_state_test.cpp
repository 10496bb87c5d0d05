// The device state as a function of what the library saw of a slot.
#include "devices/device_state.h"
#include "vidlox.h"

#include <gtest/gtest.h>

namespace vlx_test {
namespace {

using vlx::health::device_state;
using vlx::health::HealthFacts;

constexpr uint64_t kRun = 100000;          // GetTickCount64 at Run
constexpr int64_t kThirtyFps = 333333;     // 100 ns
constexpr int64_t kOneFps = 10000000;

HealthFacts running(bool frame, uint64_t last_arrival = kRun, int64_t interval = kThirtyFps) {
    HealthFacts facts;
    facts.running = true;
    facts.run_started_ms = kRun;
    facts.frame_since_run = frame;
    facts.last_arrival_ms = last_arrival;
    facts.frame_interval = interval;
    return facts;
}

TEST(DeviceState, EachStateFromItsFacts) {
    HealthFacts lost_and_stopped;
    lost_and_stopped.lost = true;
    HealthFacts in_use = running(false);
    in_use.run_result = static_cast<HRESULT>(0x800705AA);
    HealthFacts failed_run = running(false);
    failed_run.run_result = E_FAIL;
    HealthFacts aborted = running(true);
    aborted.aborted = true;
    aborted.abort_result = static_cast<HRESULT>(0x800705AA);
    HealthFacts refused_start = aborted;  // the abort came before any frame
    refused_start.frame_since_run = false;
    struct Case {
        const char* what;
        HealthFacts facts;
        uint64_t now;
        int32_t state;
    } cases[] = {
        {"never run", HealthFacts{}, kRun, VLX_DEVICE_NOT_RUNNING},
        {"lost, even when stopped", lost_and_stopped, kRun, VLX_DEVICE_LOST},
        {"Run refused: in use", in_use, kRun, VLX_DEVICE_IN_USE},
        {"Run failed otherwise", failed_run, kRun, VLX_DEVICE_ERROR},
        {"the stream aborted after frames", aborted, kRun, VLX_DEVICE_ERROR},
        {"the start aborted: in use", refused_start, kRun, VLX_DEVICE_IN_USE},
        {"first frame not yet", running(false), kRun + VLX_FIRST_FRAME_WAIT_MS, VLX_DEVICE_WAITING},
        {"first frame too late", running(false), kRun + VLX_FIRST_FRAME_WAIT_MS + 1, VLX_DEVICE_STALLED},
        {"delivering", running(true, kRun + 5000), kRun + 5000 + VLX_STALL_MIN_MS, VLX_DEVICE_DELIVERING},
        {"a second without a frame at 30 fps", running(true, kRun), kRun + VLX_STALL_MIN_MS + 1, VLX_DEVICE_STALLED},
        {"at 1 fps, ten intervals", running(true, kRun, kOneFps), kRun + 10000, VLX_DEVICE_DELIVERING},
        {"at 1 fps, past ten intervals", running(true, kRun, kOneFps), kRun + 10001, VLX_DEVICE_STALLED},
        {"at 1 fps, the first frame may take ten", running(false, 0, kOneFps), kRun + 10000, VLX_DEVICE_WAITING},
        {"a frame stamped after now", running(true, kRun + 10), kRun, VLX_DEVICE_DELIVERING},
    };
    for (const Case& c : cases) EXPECT_EQ(device_state(c.facts, c.now), c.state) << c.what;
}

}  // namespace
}  // namespace vlx_test
