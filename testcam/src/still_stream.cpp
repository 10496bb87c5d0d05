#include "still_stream.h"

#include "com_ptr.h"
#include "comkit/registration.h"

#include <chrono>
#include <new>
#include <utility>

namespace vlxcam {

std::wstring button_event_name(const CLSID& clsid) {
    return std::wstring(L"Local\\vidlox-testcam-button-") + vlxcom::guid_text(clsid).c_str();
}

StillStream::StillStream(const DeliveryGate& gate, std::wstring button_name)
    : gate_(gate), button_name_(std::move(button_name)), trigger_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

StillStream::~StillStream() {
    if (trigger_event_) CloseHandle(trigger_event_);
    if (button_event_) CloseHandle(button_event_);
}

HRESULT StillStream::prepare(const AM_MEDIA_TYPE& connection) {
    // The pin connects with RGB24 FORMAT_VideoInfo types of its own.
    const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(connection.pbFormat);
    const VideoFormat format{info.bmiHeader.biWidth, info.bmiHeader.biHeight, info.AvgTimePerFrame};
    try {
        painter_.configure(format);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    format_ = format;
    // Presses come only to a device that streams: the event lives while an
    // instance holds it, and a press nobody holds it for is lost.
    if (!button_event_) button_event_ = CreateEventW(nullptr, FALSE, FALSE, button_name_.c_str());
    return S_OK;
}

void StillStream::finish() {
    if (button_event_) CloseHandle(std::exchange(button_event_, nullptr));
}

HRESULT StillStream::trigger() {
    if (!trigger_event_) return E_OUTOFMEMORY;
    ++triggers_;
    SetEvent(trigger_event_);
    return S_OK;
}

void StillStream::stream(vlxcom::LiveStreamer& streamer) {
    HANDLE events[2] = {trigger_event_, button_event_};
    const size_t count = !trigger_event_ ? 0 : button_event_ ? 2 : 1;
    for (;;) {
        // A trigger fired before this run began is sent now.
        for (int due = triggers_.exchange(0); due > 0; --due) deliver(streamer, StillSource::trigger);
        int fired = -1;
        const auto idle_until = vlxcom::LiveStreamer::Clock::now() + std::chrono::hours(1);
        if (!streamer.wait_until(idle_until, std::span<const HANDLE>(events, count), fired)) return;
        // A press while the external trigger is off does nothing, as on a camera.
        if (fired == 1 && button_enabled_) deliver(streamer, StillSource::button);
    }
}

void StillStream::deliver(vlxcom::LiveStreamer& streamer, StillSource source) {
    // A still due while the device is gone or stalled is lost, as frames are.
    if (!gate_.open()) return;
    const ComPtr<IMediaSample> sample = streamer.buffer();
    if (!sample) return;
    BYTE* bits = nullptr;
    const auto size = static_cast<LONG>(format_.image_size());
    if (FAILED(sample->GetPointer(&bits)) || !bits || sample->GetSize() < size) return;
    painter_.paint(bits, next_number_++, source);
    REFERENCE_TIME times[2] = {0, 0};
    // Stamped on the graph's clock, as the capture pin stamps its frames;
    // without a clock a still carries no time.
    const bool stamped = streamer.stream_time(times[0]);
    times[1] = times[0] + 1;
    streamer.send(sample.get(), size, stamped ? times : nullptr, false);
}

}  // namespace vlxcam
