// Whether a device is there and delivering: the gate each camera filter's
// streaming threads pass before delivering a frame, and the list of live
// filters through which the test exports unplug, replug, stall or fail a
// device (vidlox_testcam.h).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace vlxcam {

class CameraFilter;

// Read by streaming threads, set by the test exports: atomics only.
class DeliveryGate {
public:
    // False once the device is gone or its stream failed, and during a stall.
    bool open() const noexcept;
    void close() noexcept { closed_ = true; }
    void hold_for(uint32_t milliseconds) noexcept;

private:
    std::atomic<bool> closed_{false};
    std::atomic<uint64_t> held_until_ms_{0};
};

// Every camera filter is listed from construction to destruction.
void add_live_filter(CameraFilter* filter);
void remove_live_filter(CameraFilter* filter);

}  // namespace vlxcam
