// The test microphone's filter and its one capture pin: a live audio capture
// source (comkit's live source and pin) as Windows' audio capture filters
// are, with IAMStreamConfig (the PCM formats of microphone_formats.h) and
// IAMBufferNegotiation (the buffer size the application suggests; half a
// second when it suggests none, as audio drivers default) on the pin, and
// the device's clock (IReferenceClock) on the filter.
#pragma once

#include "com_ptr.h"
#include "comkit/live_source.h"
#include "device_presence.h"
#include "microphone_clock.h"
#include "microphone_formats.h"
#include "microphone_stream.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace vlxcam {

struct MicrophoneProfile;
class MicrophoneFilter;

class MicrophonePin final : public vlxcom::LiveOutputPin, public IAMStreamConfig, public IAMBufferNegotiation {
public:
    MicrophonePin(MicrophoneFilter& filter, MicrophoneRun& run);
    ~MicrophonePin();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IAMBufferNegotiation: before the pin connects, as the platform documents.
    STDMETHODIMP SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) override;
    STDMETHODIMP GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) override;

    // Bytes of one block in `format`: the suggested size (whole sample
    // frames, at least one), else the driver's half second.
    uint32_t block_bytes(const AudioFormat& format) const;
    AudioFormat chosen_format() const;

protected:
    HRESULT connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const override;
    std::vector<AM_MEDIA_TYPE> offered_types() const override;
    long sample_bytes(const AM_MEDIA_TYPE& connection) const override;

private:
    MicrophoneFilter& microphone_;
    MicrophoneStream stream_;
    // What SetFormat chose and the suggested buffers, under their own lock:
    // QueryAccept and EnumMediaTypes run on other filters' streaming threads
    // while Stop holds the filter's lock.
    mutable std::mutex choice_lock_;
    std::optional<AudioFormat> choice_;
    std::optional<ALLOCATOR_PROPERTIES> suggested_;
};

class MicrophoneFilter final : public vlxcom::LiveSource, public IReferenceClock, private MicrophoneRun {
public:
    explicit MicrophoneFilter(const MicrophoneProfile& profile);
    ~MicrophoneFilter();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return LiveSource::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return LiveSource::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return LiveSource::Release(); }

    STDMETHODIMP Run(REFERENCE_TIME start) override;
    // The filter's own clock is held without a reference: the filter
    // holding itself would never be freed.
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IReferenceClock: the device's clock.
    STDMETHODIMP GetTime(REFERENCE_TIME* time) override;
    STDMETHODIMP AdviseTime(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie) override;
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME start, REFERENCE_TIME period, HSEMAPHORE semaphore,
                                DWORD_PTR* cookie) override;
    STDMETHODIMP Unadvise(DWORD_PTR cookie) override;

    const MicrophoneProfile& profile() const { return profile_; }
    MicrophoneClock& device_clock() { return clock_; }
    DeliveryGate& gate() { return gate_; }

    // What the test exports do to the device (vidlox_testcam.h).
    void device_gone();
    void device_back();
    void stream_failed(HRESULT error);

protected:
    std::vector<IPin*> pins() override { return {pin_.get()}; }
    std::span<vlxcom::LiveOutputPin* const> live_pins() override { return live_pins_; }
    HRESULT acquire() override;
    HRESULT other_interface(REFIID iid, void** out) override;

private:
    // MicrophoneRun
    bool own_stream_time(REFERENCE_TIME& now) override;
    uint32_t block_bytes() const override { return pin_->block_bytes(pin_->chosen_format()); }

    void notify_graph(long code, LONG_PTR param1, LONG_PTR param2);

    const MicrophoneProfile& profile_;
    MicrophoneClock clock_;
    DeliveryGate gate_;
    std::atomic<bool> gone_{false};
    std::atomic<bool> own_clock_is_graphs_{false};
    std::atomic<REFERENCE_TIME> run_start_{0};
    std::unique_ptr<MicrophonePin> pin_;
    vlxcom::LiveOutputPin* live_pins_[1] = {};
};

}  // namespace vlxcam
