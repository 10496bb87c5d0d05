// What one of the camera's pins streams: its picture painted into the
// connection's allocator buffers at the connected rate while the filter
// runs (the thread, its states and its waits are comkit's LiveStreamer).
#pragma once

#include "com_ptr.h"
#include "comkit/delivery_counts.h"
#include "comkit/live_streamer.h"
#include "device_presence.h"
#include "formats.h"
#include "frame_writer.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace vlxcam {

class CameraStream final : public vlxcom::StreamSource {
public:
    // `stripe_offset` is the filter's brightness setting, read for every frame;
    // frames pass `gate` (the device's presence) on their way out.
    CameraStream(std::chrono::milliseconds first_frame_delay, const std::atomic<int>& stripe_offset,
                 const DeliveryGate& gate)
        : first_frame_delay_(first_frame_delay), stripe_offset_(stripe_offset), gate_(gate) {}

    HRESULT prepare(const AM_MEDIA_TYPE& connection) override;
    void stream(vlxcom::LiveStreamer& streamer) override;

    // Frames delivered and dropped since the stream started.
    const vlxcom::DeliveryCounts& counts() const { return counts_; }

private:
    using Clock = vlxcom::LiveStreamer::Clock;

    void deliver(vlxcom::LiveStreamer& streamer, uint32_t frame_number, bool discontinuity);

    const std::chrono::milliseconds first_frame_delay_;
    const std::atomic<int>& stripe_offset_;
    const DeliveryGate& gate_;

    // Set by prepare() while the thread does not run; the thread's after.
    VideoFormat format_{};
    FrameWriter writer_;
    uint32_t next_frame_number_ = 0;
    bool started_before_ = false;
    vlxcom::DeliveryCounts counts_;
};

}  // namespace vlxcam
