// The output pin of a live source (the test camera's pins, the shared
// camera's): the connection in the order capture pins make it (the type
// asked for, our types, then the peer's), the allocator, QueryAccept and
// EnumMediaTypes without the filter's lock, the pin category through
// IKsPropertySet, and the streaming thread that the filter's state changes
// drive. A concrete pin says which formats it speaks and what it streams.
#pragma once

#include "comkit/filter_base.h"
#include "comkit/live_streamer.h"
#include "common/media_type.h"

#include <windows.h>
#include <dshow.h>

#include <mutex>
#include <vector>

namespace vlxcom {

class LiveOutputPin : public OutputPinBase, public IKsPropertySet {
public:
    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    // S_OK for a type the pin could connect with while unconnected; while
    // connected, only for the connection's own format, the one the stream
    // delivers (a downstream that asks before a dynamic format change is
    // told no, since the stream never switches).
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;

    // IKsPropertySet: AMPROPERTY_PIN_CATEGORY of AMPROPSETID_Pin, read only.
    STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data,
                     DWORD data_size) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data, DWORD data_size,
                     DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // The filter's state changes, its lock held. An unconnected pin stays idle.
    HRESULT on_pause_from_stopped();
    void on_run(REFERENCE_TIME start, IReferenceClock* clock) { streamer_.run(start, clock); }
    void on_pause_from_running() { streamer_.pause(); }
    void on_stop() { streamer_.stop(); }

    const GUID& category() const { return category_; }

protected:
    // `source` streams the connection; it must outlive the pin's streaming,
    // so a concrete pin's destructor calls on_stop() first.
    LiveOutputPin(Filter& filter, const wchar_t* name, const GUID& category, StreamSource& source)
        : OutputPinBase(filter, name), category_(category), streamer_(source) {}

    // ---- The concrete pin's formats (any thread, without the filter's lock) ----
    // The type the pin connects with when asked for the fully specified
    // `asked`, in the pin's own description, into `connection` (which holds
    // nothing): S_OK, VFW_E_TYPE_NOT_ACCEPTED for a format it cannot deliver
    // or other than the one SetFormat chose, or E_OUTOFMEMORY.
    virtual HRESULT connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const = 0;
    // The types Connect offers, best first (the caller frees them). May
    // throw std::bad_alloc before it has made any.
    virtual std::vector<AM_MEDIA_TYPE> offered_types() const = 0;
    // Bytes of one sample of a connection the pin made.
    virtual long sample_bytes(const AM_MEDIA_TYPE& connection) const = 0;
    // The fewest buffers the pin's allocator gets: a stream of frames wants
    // a few in flight, a pin that sends a large picture now and then one.
    virtual long buffers_wanted() const { return 4; }

    // ---- For IAMStreamConfig::SetFormat (the filter's lock held) ----
    // Whether the connected peer takes `type` (S_OK unconnected), else
    // VFW_E_INVALIDMEDIATYPE.
    HRESULT peer_accepts(const AM_MEDIA_TYPE& type) const;
    // A connected pin in a graph is connected again, in what connection_for
    // now answers (the graph's ReconnectEx, else Reconnect); S_OK otherwise.
    HRESULT reconnect();

    void drop_connection() override;

private:
    HRESULT connect(IPin* receiver, const AM_MEDIA_TYPE* type);
    HRESULT try_connection(IPin* receiver, const AM_MEDIA_TYPE& asked);
    HRESULT negotiate_allocator(IMemInputPin* input, long bytes);

    GUID category_;
    LiveStreamer streamer_;
    // Guarded by the filter's lock, as PinBase's peer_ and type_ are.
    ComPtr<IMemInputPin> peer_input_;
    ComPtr<IMemAllocator> allocator_;
    // The connection's type again, for QueryAccept: downstream filters call
    // it from the streaming thread while Stop holds the filter's lock and
    // joins that thread.
    mutable std::mutex connected_lock_;
    vlx::MediaType connected_;
};

}  // namespace vlxcom
