// The test microphone's filter and its one capture pin: a live audio capture
// source as Windows' audio capture filters are, with IAMStreamConfig (the
// PCM formats of microphone_formats.h), IAMBufferNegotiation (the buffer
// size the application suggests; half a second when it suggests none, as
// audio drivers default) and the pin category on the pin, and the device's
// clock (IReferenceClock) and IAMFilterMiscFlags on the filter.
#pragma once

#include "com_ptr.h"
#include "comkit/filter_base.h"
#include "device_presence.h"
#include "microphone_clock.h"
#include "microphone_formats.h"
#include "microphone_streamer.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace vlxcam {

struct MicrophoneProfile;
class MicrophoneFilter;

class MicrophonePin final : public vlxcom::OutputPinBase,
                            public IAMStreamConfig,
                            public IAMBufferNegotiation,
                            public IKsPropertySet {
public:
    explicit MicrophonePin(MicrophoneFilter& filter);
    ~MicrophonePin();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IAMBufferNegotiation
    STDMETHODIMP SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) override;
    STDMETHODIMP GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) override;

    // IKsPropertySet: AMPROPERTY_PIN_CATEGORY only.
    STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data,
                     DWORD data_size) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data, DWORD data_size,
                     DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // Filter state changes (filter lock held).
    HRESULT on_pause_from_stopped();
    void on_run(REFERENCE_TIME start, IReferenceClock* clock) { streamer_.run(start, clock); }
    void on_pause_from_running() { streamer_.pause(); }
    void on_stop() { streamer_.stop(); }

private:
    AudioFormat chosen_format() const;
    HRESULT try_connection(IPin* receiver, const AudioFormat& format);
    void drop_connection() override;

    MicrophoneFilter& microphone_;
    MicrophoneStreamer streamer_;
    // What SetFormat chose, under its own lock: QueryAccept runs on other
    // filters' streaming threads while Stop holds the filter's lock.
    mutable std::mutex choice_lock_;
    std::optional<AudioFormat> choice_;
    // Guarded by the filter's lock.
    std::optional<ALLOCATOR_PROPERTIES> suggested_;
    ComPtr<IMemInputPin> peer_input_;
    ComPtr<IMemAllocator> allocator_;
    ALLOCATOR_PROPERTIES allocated_{};
    AudioFormat connection_format_{};
};

class MicrophoneFilter final : public vlxcom::Filter, public IReferenceClock, public IAMFilterMiscFlags {
public:
    explicit MicrophoneFilter(const MicrophoneProfile& profile);
    ~MicrophoneFilter();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return Filter::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
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

    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

    const MicrophoneProfile& profile() const { return profile_; }
    MicrophoneClock& device_clock() { return clock_; }
    DeliveryGate& gate() { return gate_; }
    // The graph's clock for a run (lock held): this filter's own or another.
    IReferenceClock* run_clock() { return own_clock_is_graphs_ ? this : clock(); }

    // What the test exports do to the device (vidlox_testcam.h).
    void device_gone();
    void device_back();
    void stream_failed(HRESULT error);

protected:
    std::vector<IPin*> pins() override { return {pin_.get()}; }
    HRESULT other_interface(REFIID iid, void** out) override;

private:
    HRESULT pause_locked();
    void notify_graph(long code, LONG_PTR param1, LONG_PTR param2);

    const MicrophoneProfile& profile_;
    MicrophoneClock clock_;
    DeliveryGate gate_;
    std::atomic<bool> gone_{false};
    bool own_clock_is_graphs_ = false;
    std::unique_ptr<MicrophonePin> pin_;
};

}  // namespace vlxcam
