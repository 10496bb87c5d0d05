// What one of the camera's pins streams: its picture painted into the
// connection's allocator buffers at the connected rate while the filter
// runs (the thread, its states and its waits are comkit's LiveStreamer).
//
// With a graph clock, frames are taken on it: frame slot j of a run is due
// at stream time j * interval (counted from stream time 0, the first slot at
// or after the run's start), stamped with that time whenever it goes out,
// and the frame nearest each whole second of stream time carries the flash
// (vidlox_testcam.h), at the instant the test microphone clicks. Without a
// clock the stream keeps its own schedule on the steady clock.
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

    // `stamp` is the frame's stream time: its slot's with a clock, else the
    // frame number's place in the stream's own schedule.
    void deliver(vlxcom::LiveStreamer& streamer, uint32_t frame_number, bool discontinuity, REFERENCE_TIME stamp);

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
