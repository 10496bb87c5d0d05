// The shared camera's filter: a live capture source (comkit's) with one
// capture pin whose frames come from a channel of the shared-camera
// transport.
#pragma once

#include "comkit/dropped_frames.h"
#include "comkit/live_source.h"
#include "share_stream.h"
#include "stream_format.h"

#include <windows.h>
#include <dshow.h>

#include <array>
#include <mutex>
#include <optional>
#include <vector>

namespace vlxshare::source {

class ShareFilter;

// The capture pin. Its reference count is the filter's.
class SharePin final : public vlxcom::LiveOutputPin, public IAMStreamConfig {
public:
    SharePin(ShareFilter& filter, int32_t channel);
    ~SharePin();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

protected:
    HRESULT connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const override;
    std::vector<AM_MEDIA_TYPE> offered_types() const override;
    long sample_bytes(const AM_MEDIA_TYPE& connection) const override;

private:
    // The capabilities now: the publisher's size and rate, or the idle ones.
    std::vector<StreamFormat> current_capabilities() const;
    // What the pin offers: the chosen format alone after SetFormat.
    std::vector<StreamFormat> offered() const;
    std::optional<StreamFormat> chosen() const;

    int32_t channel_;
    ShareStream stream_;
    vlxcom::DroppedFramesReport dropped_frames_;
    mutable std::mutex choice_lock_;  // never held while calling out
    std::optional<StreamFormat> choice_;
};

class ShareFilter final : public vlxcom::LiveSource {
public:
    ShareFilter(const CLSID& clsid, int32_t channel);
    ~ShareFilter();

protected:
    std::vector<IPin*> pins() override { return {&pin_}; }
    std::span<vlxcom::LiveOutputPin* const> live_pins() override { return live_pins_; }

private:
    SharePin pin_;
    const std::array<vlxcom::LiveOutputPin*, 1> live_pins_{&pin_};
};

}  // namespace vlxshare::source
