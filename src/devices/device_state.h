// The state vlx_GetDeviceState reports, as a pure function of what the
// library has seen of a slot: its run, its graph's events and its frames.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx::health {

struct HealthFacts {
    bool running = false;          // the host ran the graph and has not stopped it
    HRESULT run_result = S_OK;     // what Run answered
    bool lost = false;             // the graph reported the device gone
    bool audio_lost = false;       // ... or the slot's audio device
    bool aborted = false;          // the graph reported a stream stopped by an error
    HRESULT abort_result = S_OK;   // the error it reported
    uint64_t run_started_ms = 0;   // GetTickCount64 at Run
    bool frame_since_run = false;  // a frame reached the grabber since Run
    uint64_t last_arrival_ms = 0;  // GetTickCount64 at the latest frame
    int64_t frame_interval = 0;    // AvgTimePerFrame of the grabber's connection (100 ns); 0 unknown
};

// VLX_DEVICE_DELIVERING ... VLX_DEVICE_NOT_RUNNING for `facts` at `now_ms`.
int32_t device_state(const HealthFacts& facts, uint64_t now_ms);

// How long a running device may go without a frame before it counts as
// stalled: VLX_STALL_FRAME_INTERVALS intervals, and never less than
// VLX_STALL_MIN_MS.
uint64_t stall_after_ms(int64_t frame_interval);


}  // namespace vlx::health
