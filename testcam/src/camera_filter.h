// The test camera: a live video capture source filter with one output pin
// (two for the capture-and-preview device).
#pragma once

#include "camera_controls.h"
#include "com_ptr.h"
#include "comkit/filter_base.h"
#include "dropped_frames.h"
#include "device_presence.h"
#include "formats.h"
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
class OutputPin final : public vlxcom::OutputPinBase,
                        public IAMStreamConfig,
                        public IKsPropertySet,
                        public ISpecifyPropertyPages {
public:
    OutputPin(CameraFilter& filter, const wchar_t* name, const GUID& category);
    ~OutputPin();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IPin (identity, Disconnect and the connection record are the kit's)
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;

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

    // The format the pin delivers or would connect with.
    VideoFormat current_format() const;
    const GUID& category() const { return category_; }
    // SetFormat's two steps once the format is known to be acceptable (lock
    // held): whether a connected peer takes it, then making it the pin's
    // and having a connected pin reconnected (a failed reconnection keeps
    // the choice there was).
    HRESULT peer_accepts(const VideoFormat& format) const;
    HRESULT take_format(const VideoFormat& format, const std::optional<StatedSizes>& given);

private:
    HRESULT connect(IPin* receiver, const AM_MEDIA_TYPE* type);
    HRESULT try_connection(IPin* receiver, const AM_MEDIA_TYPE& type);
    HRESULT negotiate_allocator(IMemInputPin* input, const VideoFormat& format);
    std::vector<AM_MEDIA_TYPE> offered_types() const;
    void drop_connection() override;

    CameraFilter& camera_;
    GUID category_;
    Streamer streamer_;
    DroppedFramesReport dropped_frames_;  // offered by a capture pin only

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

    // Guarded by the filter's lock, as PinBase's peer_ and type_ are.
    ComPtr<IMemInputPin> peer_input_;
    ComPtr<IMemAllocator> allocator_;
    VideoFormat connection_format_{};
};

// The IBaseFilter plumbing is the kit's; the state changes are the camera's
// own, those of a live source whose pins stream.
class CameraFilter final : public vlxcom::Filter, public IAMFilterMiscFlags, public ISpecifyPropertyPages {
public:
    explicit CameraFilter(const DeviceProfile& profile);
    ~CameraFilter();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return Filter::QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

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
    HRESULT other_interface(REFIID iid, void** out) override;

private:
    HRESULT pause_locked();
    void notify_graph(long code, LONG_PTR param1, LONG_PTR param2);

    const DeviceProfile& profile_;
    CameraControls controls_;
    DeliveryGate gate_;
    std::atomic<bool> gone_{false};
    std::vector<std::unique_ptr<OutputPin>> pins_;
};

// Page answer shared by the filter and its pins.
HRESULT format_page_list(CAUUID* pages);

}  // namespace vlxcam
