// What the still pin streams: nothing on its own, one still whenever the
// software trigger fires (IAMVideoControl, VideoControlFlag_Trigger) or the
// camera's button is pressed while the external trigger is enabled
// (VideoControlFlag_ExternalTriggerEnable), each painted at the pin's size
// with its own number. The thread, its states and its waits are comkit's
// LiveStreamer.
//
// The button is the device's, not an instance's: vlxcam_PressButton sets a
// named auto-reset event of the session, which the still stream of every
// instance of the device holds from Pause to Stop and one of them takes.
#pragma once

#include "comkit/live_streamer.h"
#include "device_presence.h"
#include "still_painter.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace vlxcam {

class StillStream final : public vlxcom::StreamSource {
public:
    // `button_name`: the device's button event (button_event_name()).
    StillStream(const DeliveryGate& gate, std::wstring button_name);
    ~StillStream();
    StillStream(const StillStream&) = delete;
    StillStream& operator=(const StillStream&) = delete;

    HRESULT prepare(const AM_MEDIA_TYPE& connection) override;
    void stream(vlxcom::LiveStreamer& streamer) override;
    void finish() override;

    // Any thread: one more still of the trigger, sent once the stream runs.
    HRESULT trigger();
    void enable_button(bool enabled) { button_enabled_ = enabled; }
    bool button_enabled() const { return button_enabled_; }

private:
    void deliver(vlxcom::LiveStreamer& streamer, StillSource source);

    const DeliveryGate& gate_;
    const std::wstring button_name_;
    HANDLE trigger_event_ = nullptr;  // auto-reset; made with the stream
    std::atomic<int> triggers_{0};    // fired and not yet sent
    std::atomic<bool> button_enabled_{false};

    // Set by prepare() while the thread does not run; the thread's after.
    HANDLE button_event_ = nullptr;  // held from prepare() to finish()
    VideoFormat format_{};
    StillPainter painter_;
    uint32_t next_number_ = 1;  // the pin's stills, counted across runs
};

// The name of the session-wide event that stands for the button of the device of class `clsid`.
std::wstring button_event_name(const CLSID& clsid);

}  // namespace vlxcam
