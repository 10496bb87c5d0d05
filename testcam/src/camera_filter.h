// The test camera: a live video capture source filter with one output pin
// (two for the capture-and-preview device), and a still pin on a device
// with stills (still_pin.h).
#pragma once

#include "camera_controls.h"
#include "com_ptr.h"
#include "comkit/dropped_frames.h"
#include "comkit/live_source.h"
#include "device_presence.h"
#include "formats.h"
#include "profiles.h"
#include "still_pin.h"
#include "streamer.h"
#include "video_control.h"

#include <windows.h>
#include <dshow.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vlxcam {

class CameraFilter;

// An output pin: a live pin of the kit (connection, allocator, streaming
// thread, pin category) painting the camera's picture. Its reference count
// is the filter's: the pin lives exactly as long as its filter, and the
// interfaces it carries (IAMStreamConfig, IKsPropertySet,
// ISpecifyPropertyPages, IAMDroppedFrames) belong to it.
class OutputPin final : public vlxcom::LiveOutputPin, public IAMStreamConfig, public ISpecifyPropertyPages {
public:
    OutputPin(CameraFilter& filter, const wchar_t* name, const GUID& category);
    ~OutputPin();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // The format the pin delivers or would connect with.
    VideoFormat current_format() const;
    // SetFormat's two steps once the format is known to be acceptable (lock
    // held): whether a connected peer takes it, then making it the pin's
    // and having a connected pin reconnected (a failed reconnection keeps
    // the choice there was).
    HRESULT peer_accepts(const VideoFormat& format) const;
    HRESULT take_format(const VideoFormat& format, const std::optional<StatedSizes>& given);

protected:
    HRESULT connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const override;
    std::vector<AM_MEDIA_TYPE> offered_types() const override;
    long sample_bytes(const AM_MEDIA_TYPE& connection) const override;

private:
    // The format of the pin's connection (filter's lock held).
    VideoFormat connection_format() const;

    CameraFilter& camera_;
    CameraStream stream_;
    vlxcom::DroppedFramesReport dropped_frames_;  // offered by a capture pin only

    // What SetFormat chose. Its own lock, never held while calling out:
    // QueryAccept and EnumMediaTypes read it without the filter's lock,
    // which Stop holds while it joins the streaming thread that a
    // downstream filter may call them from.
    struct Choice {
        std::optional<VideoFormat> format;
        std::optional<StatedSizes> given_sizes;  // on a keeps_given_sizes device
    };
    Choice choice() const;
    mutable std::mutex choice_lock_;
    Choice choice_;
};

// The IBaseFilter plumbing and the live source's state changes are the
// kit's; the camera adds its controls, its property page, its presence and
// a start that fails as a camera held by another program does.
class CameraFilter final : public vlxcom::LiveSource, public ISpecifyPropertyPages {
public:
    explicit CameraFilter(const DeviceProfile& profile);
    ~CameraFilter();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return Filter::QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    const DeviceProfile& profile() const { return profile_; }
    const std::atomic<int>& stripe_offset() const { return controls_.stripe_offset(); }
    // The capture pin takes `format` and the preview pin follows (lock
    // held): every preview peer is asked first, so that a refusal leaves
    // both pins as they were.
    HRESULT previews_accept(const VideoFormat& format) const;
    HRESULT capture_format_changed(const VideoFormat& format);

    // The device's presence (device_presence.h): what its streaming threads
    // pass before each frame, and what the test exports do to it.
    DeliveryGate& gate() { return gate_; }
    void device_gone();
    void device_back();
    void stream_failed(HRESULT error);

protected:
    std::vector<IPin*> pins() override;
    std::span<vlxcom::LiveOutputPin* const> live_pins() override { return {live_pins_.data(), live_pin_count_}; }
    HRESULT acquire() override;
    HRESULT other_interface(REFIID iid, void** out) override;

private:
    void notify_graph(long code, LONG_PTR param1, LONG_PTR param2);

    const DeviceProfile& profile_;
    CameraControls controls_;
    DeliveryGate gate_;
    std::atomic<bool> gone_{false};
    std::vector<std::unique_ptr<OutputPin>> pins_;
    std::unique_ptr<StillPin> still_pin_;          // after the capture pin
    std::unique_ptr<VideoControl> video_control_;  // with the still pin
    std::array<vlxcom::LiveOutputPin*, 3> live_pins_{};  // the same pins
    size_t live_pin_count_ = 0;
};

// Page answer shared by the filter and its pins.
HRESULT format_page_list(CAUUID* pages);

}  // namespace vlxcam
