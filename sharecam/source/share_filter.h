// The shared camera's filter: a live capture source with one capture pin
// whose frames come from a channel of the shared-camera transport.
#pragma once

#include "comkit/filter_base.h"
#include "share_streamer.h"
#include "stream_format.h"

#include <windows.h>
#include <dshow.h>

#include <mutex>
#include <optional>
#include <vector>

namespace vlxshare::source {

class ShareFilter;

// The capture pin. Its reference count is the filter's.
class SharePin final : public vlxcom::OutputPinBase,
                       public IAMStreamConfig,
                       public IKsPropertySet,
                       public IAMDroppedFrames {
public:
    SharePin(ShareFilter& filter, int32_t channel);
    ~SharePin();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IKsPropertySet: the pin category
    STDMETHODIMP Set(REFGUID set, DWORD id, void*, DWORD, void*, DWORD) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD data_size, DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // IAMDroppedFrames
    STDMETHODIMP GetNumDropped(LONG* number) override;
    STDMETHODIMP GetNumNotDropped(LONG* number) override;
    STDMETHODIMP GetDroppedInfo(LONG size, LONG* numbers, LONG* copied) override;
    STDMETHODIMP GetAverageFrameSize(LONG* size) override;

    // Filter state changes, the filter's lock held.
    HRESULT on_pause_from_stopped() {
        return peer_ && allocator_ ? streamer_.start(allocator_.get(), peer_input_.get(), connection_) : S_OK;
    }
    void on_run(REFERENCE_TIME start, IReferenceClock* clock) { streamer_.run(start, clock); }
    void on_pause_from_running() { streamer_.pause(); }
    void on_stop() { streamer_.stop(); }

private:
    HRESULT connect(IPin* receiver, const AM_MEDIA_TYPE* type);
    HRESULT try_connection(IPin* receiver, const StreamFormat& format);
    HRESULT negotiate_allocator(IMemInputPin* input, const StreamFormat& format);
    // The capabilities now: the publisher's size and rate, or the idle ones.
    std::vector<StreamFormat> current_capabilities() const;
    // What the pin offers: the chosen format alone after SetFormat.
    std::vector<StreamFormat> offered() const;
    std::optional<StreamFormat> chosen() const;
    void drop_connection() override;

    int32_t channel_;
    ShareStreamer streamer_;
    mutable std::mutex choice_lock_;  // never held while calling out
    std::optional<StreamFormat> choice_;
    // Guarded by the filter's lock.
    ComPtr<IMemInputPin> peer_input_;
    ComPtr<IMemAllocator> allocator_;
    StreamFormat connection_{};
};

class ShareFilter final : public vlxcom::Filter, public IAMFilterMiscFlags {
public:
    ShareFilter(const CLSID& clsid, int32_t channel);
    ~ShareFilter();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return Filter::QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

protected:
    std::vector<IPin*> pins() override { return {&pin_}; }
    HRESULT other_interface(REFIID iid, void** out) override;

private:
    HRESULT pause_locked();
    SharePin pin_;
};

}  // namespace vlxshare::source
