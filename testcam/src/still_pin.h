// The still pin (PIN_CATEGORY_STILL) of a camera with stills: a live pin of
// the kit that sends a still at a size of its own, larger than the capture
// runs at, whenever the software trigger fires or the button is pressed
// (still_stream.h). Its reference count is the filter's; IAMStreamConfig
// (its still sizes) and IKsPropertySet belong to it, and the filter's
// IAMVideoControl (video_control.h) reaches its trigger and its mode.
#pragma once

#include "comkit/live_pin.h"
#include "formats.h"
#include "profiles.h"
#include "still_stream.h"

#include <windows.h>
#include <dshow.h>

#include <mutex>
#include <optional>
#include <vector>

namespace vlxcam {

class CameraFilter;

// The still sizes, largest first: RGB24, FORMAT_VideoInfo, bottom-up.
Capabilities still_capabilities();

class StillPin final : public vlxcom::LiveOutputPin, public IAMStreamConfig {
public:
    explicit StillPin(CameraFilter& filter);
    ~StillPin();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IAMStreamConfig: while stopped; a connected pin asks its peer and is
    // connected again with the new size.
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IAMVideoControl on this pin.
    static constexpr LONG kCaps = VideoControlFlag_ExternalTriggerEnable | VideoControlFlag_Trigger;
    HRESULT set_mode(LONG mode);
    LONG mode() const { return stream_.button_enabled() ? VideoControlFlag_ExternalTriggerEnable : 0; }

protected:
    HRESULT connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const override;
    std::vector<AM_MEDIA_TYPE> offered_types() const override;
    long sample_bytes(const AM_MEDIA_TYPE& connection) const override;
    // A still of 3840x2160 is 25 MB: one buffer, not a stream's four.
    long buffers_wanted() const override { return 1; }

private:
    std::optional<VideoFormat> chosen() const;

    CameraFilter& camera_;
    StillStream stream_;
    // What SetFormat chose; its own lock, as the capture pin's (output_pin.cpp).
    mutable std::mutex choice_lock_;
    std::optional<VideoFormat> choice_;
};

}  // namespace vlxcam
