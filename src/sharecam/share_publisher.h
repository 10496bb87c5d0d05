// What a slot publishes: a listener on the slot's Sample Grabber callback
// (graph/grabber_callback.h) that writes every frame into the channel it
// holds. A listener stays on the grabber until the graph goes, so stopping
// does not take it off: it closes the channel, after which the frames that
// still arrive go nowhere.
#pragma once

#include "common/com_ptr.h"
#include "common/performance_clock.h"
#include "common/sample_grabber_callback.h"
#include "sharecam/transport/channel_writer.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace vlx::sharecam {

// The frame shape of the grabber's connection, as the ring carries it.
struct PublishedFormat {
    int32_t width = 0;
    int32_t height = 0;  // positive: bottom-up
    int64_t frame_interval = 0;
};

// Whether the ring carries frames of `format`.
bool carried(const PublishedFormat& format);

class SharePublisher final : public SampleGrabberCallback {
public:
    // A new publisher with one reference, or null when memory runs out.
    static SharePublisher* create() noexcept;

    // Claims `channel` and publishes from now on in `format`.
    vlxshare::transport::ClaimResult start(int32_t channel, const PublishedFormat& format);
    // The grabber's connection changed: frames come in this shape now
    // (the channel's header says at once whether the ring carries it).
    void set_format(const PublishedFormat& format);
    // Gives the channel up; later samples are dropped. Waits for a sample
    // being written.
    void stop();
    int32_t channel() const { return channel_; }
    DWORD error() const { return writer_.error(); }

    // On the graph's streaming thread.
    STDMETHODIMP SampleCB(double sample_time, IMediaSample* sample) override;

private:
    SharePublisher() = default;
    ~SharePublisher() override { stop(); }
    // SampleCB's work, which may throw.
    void publish(IMediaSample* sample);

    vlxshare::transport::ChannelWriter writer_;
    int32_t channel_ = 0;
    PerformanceClock clock_;
    // Read by the streaming thread, set on the host's. `publishing_` spares
    // the samples of a slot that stopped publishing any work; the writer's
    // own lock decides.
    std::atomic<bool> publishing_{false};
    std::atomic<int32_t> width_{0};
    std::atomic<int32_t> height_{0};
    std::atomic<int64_t> frame_interval_{0};
};

}  // namespace vlx::sharecam
