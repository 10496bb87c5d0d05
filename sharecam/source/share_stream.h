// What the shared camera's pin streams: each frame published on its channel
// as soon as it arrives, scaled and converted into the connected format;
// while nothing arrives for half a second (no publisher, its process gone,
// a damaged channel) the "no signal" picture at the connected rate instead.
// The thread, its states and its waits are comkit's LiveStreamer.
#pragma once

#include "comkit/delivery_counts.h"
#include "comkit/live_streamer.h"
#include "sharecam/transport/channel_reader.h"
#include "stream_format.h"

#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <vector>

namespace vlxshare::source {

using vlx::ComPtr;

class ShareStream final : public vlxcom::StreamSource {
public:
    explicit ShareStream(int32_t channel) : channel_(channel) {}

    // Stopped to Paused: the reader opens the channel (a failure reads as
    // "no signal" throughout) and the counts start from zero.
    HRESULT prepare(const AM_MEDIA_TYPE& connection) override;
    void stream(vlxcom::LiveStreamer& streamer) override;
    void finish() override { reader_.close(); }

    // Samples delivered; publisher's frames this reader skipped.
    const vlxcom::DeliveryCounts& counts() const { return counts_; }

private:
    using Clock = vlxcom::LiveStreamer::Clock;

    // One sample of the reader's frame (`real`) or of "no signal", in
    // `sample` when given (a direct read may have gone there), else in a
    // new one.
    void deliver(vlxcom::LiveStreamer& streamer, const transport::SharedFrame* real, bool discontinuity,
                 ComPtr<IMediaSample> sample);
    // The frames the reader skipped since the last one it counted.
    void count_skipped(int64_t frame_number);
    // Whether the frame just read goes out at the connection's rate.
    bool on_schedule(Clock::time_point now, Clock::duration interval, Clock::time_point& next_due) const;

    const int32_t channel_;
    // Set by prepare() while the thread does not run; the thread's after.
    StreamFormat format_{};
    transport::ChannelReader reader_;
    transport::SharedFrame frame_;
    int64_t skipped_counted_ = 0;
    bool publisher_size_fits_ = true;  // the last frame was of the connection's size
    Clock::time_point last_frame_{};
    std::vector<uint8_t> scratch_;
    vlxcom::DeliveryCounts counts_;
};

}  // namespace vlxshare::source
