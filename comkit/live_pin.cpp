#include "comkit/live_pin.h"

#include "comkit/enumerators.h"

#include <ks.h>
#include <ksmedia.h>

#include <algorithm>

namespace vlxcom {

// ---- Connection ------------------------------------------------------------

STDMETHODIMP LiveOutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    return com_guard([&] { return connect(receiver, type); });
}

HRESULT LiveOutputPin::connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION direction;
    if (FAILED(receiver->QueryDirection(&direction)) || direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;

    if (type && !vlx::is_partial(*type)) return try_connection(receiver, *type);

    std::vector<AM_MEDIA_TYPE> ours = offered_types();
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const AM_MEDIA_TYPE& candidate : ours) {
        if (type && !vlx::matches_partial(candidate, *type)) continue;
        if (SUCCEEDED(try_connection(receiver, candidate))) {
            result = S_OK;
            break;
        }
    }
    for (AM_MEDIA_TYPE& candidate : ours) vlx::free_media_type(candidate);
    if (result == S_OK) return S_OK;

    ComPtr<IEnumMediaTypes> theirs;
    if (SUCCEEDED(receiver->EnumMediaTypes(theirs.put())) && theirs) {
        vlx::MediaTypePtr candidate;
        while (theirs->Next(1, candidate.put(), nullptr) == S_OK && candidate) {
            const bool fits = !type || vlx::matches_partial(*candidate.get(), *type);
            if (fits && SUCCEEDED(try_connection(receiver, *candidate.get()))) return S_OK;
        }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT LiveOutputPin::try_connection(IPin* receiver, const AM_MEDIA_TYPE& asked) {
    // Connected with our own description of that format.
    vlx::MediaType connection;
    const HRESULT described = connection_for(asked, *connection.get());
    if (FAILED(described)) return described;
    vlx::MediaType copy;
    if (FAILED(vlx::copy_media_type(*copy.get(), *connection.get()))) return E_OUTOFMEMORY;

    const HRESULT received = receiver->ReceiveConnection(this, connection.get());
    if (FAILED(received)) return received;
    ComPtr<IMemInputPin> input;
    HRESULT negotiated = receiver->QueryInterface(IID_IMemInputPin, input.put_void());
    if (SUCCEEDED(negotiated)) negotiated = negotiate_allocator(input.get(), sample_bytes(*connection.get()));
    if (FAILED(negotiated)) {
        receiver->Disconnect();
        return negotiated;
    }
    peer_ = ComPtr<IPin>::share(receiver);
    peer_input_ = std::move(input);
    *type_.reset() = *connection.get();
    *connection.get() = AM_MEDIA_TYPE{};  // ownership moved to type_
    std::lock_guard guard(connected_lock_);
    *connected_.reset() = *copy.get();
    *copy.get() = AM_MEDIA_TYPE{};
    return S_OK;
}

HRESULT LiveOutputPin::negotiate_allocator(IMemInputPin* input, long bytes) {
    ALLOCATOR_PROPERTIES wanted{};
    input->GetAllocatorRequirements(&wanted);  // optional for the peer

    ComPtr<IMemAllocator> allocator;
    if (FAILED(input->GetAllocator(allocator.put())) || !allocator) {
        const HRESULT created = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IMemAllocator, allocator.put_void());
        if (FAILED(created)) return created;
    }
    ALLOCATOR_PROPERTIES request{};
    request.cBuffers = std::max<long>(wanted.cBuffers, buffers_wanted());
    request.cbBuffer = std::max<long>(wanted.cbBuffer, bytes);
    request.cbAlign = std::max<long>(wanted.cbAlign, 1);
    request.cbPrefix = wanted.cbPrefix;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(&request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cbBuffer < bytes) return VFW_E_SIZENOTSET;
    hr = input->NotifyAllocator(allocator.get(), FALSE);
    if (FAILED(hr)) return hr;
    allocator_ = std::move(allocator);
    return S_OK;
}

void LiveOutputPin::drop_connection() {
    streamer_.stop();
    allocator_.reset();
    peer_input_.reset();
    {
        std::lock_guard guard(connected_lock_);
        connected_.reset();
    }
    PinBase::drop_connection();
}

STDMETHODIMP LiveOutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    vlx::MediaType candidate;
    if (connection_for(*type, *candidate.get()) != S_OK) return S_FALSE;
    std::lock_guard guard(connected_lock_);
    if (IsEqualGUID(connected_->majortype, GUID_NULL)) return S_OK;
    return vlx::same_media_type(*connected_.get(), *candidate.get()) ? S_OK : S_FALSE;
}

STDMETHODIMP LiveOutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    return com_guard([&] { return create_media_type_enumerator(offered_types(), types); });
}

HRESULT LiveOutputPin::on_pause_from_stopped() {
    if (!peer_ || !allocator_) return S_OK;
    return streamer_.start(allocator_.get(), peer_input_.get(), *type_.get());
}

// ---- SetFormat's steps ---------------------------------------------------------

HRESULT LiveOutputPin::peer_accepts(const AM_MEDIA_TYPE& type) const {
    if (!peer_) return S_OK;
    return peer_->QueryAccept(&type) == S_OK ? S_OK : VFW_E_INVALIDMEDIATYPE;
}

HRESULT LiveOutputPin::reconnect() {
    IFilterGraph* graph = filter_.graph();
    if (!peer_ || !graph) return S_OK;
    ComPtr<IFilterGraph2> graph2;
    return SUCCEEDED(graph->QueryInterface(IID_IFilterGraph2, graph2.put_void())) ? graph2->ReconnectEx(this, nullptr)
                                                                                 : graph->Reconnect(this);
}

// ---- IKsPropertySet ----------------------------------------------------------

STDMETHODIMP LiveOutputPin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
    return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

STDMETHODIMP LiveOutputPin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD data_size,
                                DWORD* returned) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (returned) *returned = sizeof(GUID);
    if (!data) return returned ? S_OK : E_POINTER;  // a size query
    if (data_size < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = category_;
    return S_OK;
}

STDMETHODIMP LiveOutputPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

}  // namespace vlxcom
