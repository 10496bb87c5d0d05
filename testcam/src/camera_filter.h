// The test camera: a live video capture source filter with one output pin
// (two for the capture-and-preview device).
#pragma once

#include "com_ptr.h"
#include "enumerators.h"
#include "formats.h"
#include "module.h"
#include "profiles.h"
#include "streamer.h"

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vlxcam {

class CameraFilter;

// An output pin. Its reference count is the filter's: the pin lives exactly
// as long as its filter, and the interfaces it carries (IAMStreamConfig,
// IKsPropertySet, ISpecifyPropertyPages) belong to it.
class OutputPin final : public IPin, public IAMStreamConfig, public IKsPropertySet, public ISpecifyPropertyPages {
public:
    OutputPin(CameraFilter& filter, const wchar_t* name, const GUID& category);
    ~OutputPin();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data,
                     DWORD data_size) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data, DWORD data_size,
                     DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // Filter state changes, called with the filter's lock held.
    HRESULT on_pause_from_stopped();
    void on_run(REFERENCE_TIME start, IReferenceClock* clock);
    void on_pause_from_running();
    void on_stop();

    const wchar_t* name() const { return name_; }
    // The format the pin delivers or would connect with.
    VideoFormat current_format() const;
    const GUID& category() const { return category_; }
    // SetFormat's work once the format is known to be acceptable (lock held).
    HRESULT apply_format(const VideoFormat& format, const std::optional<StatedSizes>& given);

private:
    HRESULT connect(IPin* receiver, const AM_MEDIA_TYPE* type);
    HRESULT try_connection(IPin* receiver, const AM_MEDIA_TYPE& type);
    HRESULT negotiate_allocator(IMemInputPin* input, const VideoFormat& format);
    std::vector<AM_MEDIA_TYPE> offered_types() const;
    void drop_connection();

    CameraFilter& filter_;
    const wchar_t* name_;
    GUID category_;
    Streamer streamer_;

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

    // Guarded by the filter's lock.
    ComPtr<IPin> peer_;
    ComPtr<IMemInputPin> peer_input_;
    ComPtr<IMemAllocator> allocator_;
    MediaType connection_type_;
    VideoFormat connection_format_{};
};

class CameraFilter final : public IBaseFilter, public IAMFilterMiscFlags, public ISpecifyPropertyPages {
public:
    explicit CameraFilter(const DeviceProfile& profile);
    ~CameraFilter();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    const DeviceProfile& profile() const { return profile_; }
    std::recursive_mutex& lock() { return lock_; }
    FILTER_STATE state() const { return state_; }
    IFilterGraph* graph() const { return graph_; }
    // The capture pin took `format`: the preview pin follows (lock held).
    HRESULT capture_format_changed(const VideoFormat& format);

private:
    HRESULT pause_locked();

    LiveObject live_;
    std::atomic<ULONG> refs_{1};
    const DeviceProfile& profile_;
    std::recursive_mutex lock_;  // recursive: peers call back into our pins while we connect
    FILTER_STATE state_ = State_Stopped;
    ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr;  // no reference: the graph owns the filter
    wchar_t name_[MAX_FILTER_NAME] = L"";
    std::vector<std::unique_ptr<OutputPin>> pins_;
};

// Page answer shared by the filter and its pins.
HRESULT format_page_list(CAUUID* pages);

}  // namespace vlxcam
