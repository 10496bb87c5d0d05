#include "share_filter.h"

#include "comkit/enumerators.h"
#include "common/media_type.h"
#include "sharecam/transport/channel_reader.h"
#include "vidlox_sharecam.h"

#include <ks.h>
#include <ksmedia.h>

#include <algorithm>
#include <cstring>

namespace vlxshare::source {

namespace {

bool is_partial(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.majortype, GUID_NULL) || IsEqualGUID(type.subtype, GUID_NULL) ||
           IsEqualGUID(type.formattype, GUID_NULL) || !type.pbFormat;
}

bool same_format(const StreamFormat& a, const StreamFormat& b) {
    return a.pixels == b.pixels && a.width == b.width && a.height == b.height && a.frame_interval == b.frame_interval;
}

}  // namespace

// ---- Filter ----------------------------------------------------------------

ShareFilter::ShareFilter(const CLSID& clsid, int32_t channel) : Filter(clsid), pin_(*this, channel) {}

ShareFilter::~ShareFilter() { pin_.on_stop(); }

HRESULT ShareFilter::other_interface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IAMFilterMiscFlags)) return vlxcom::hand_out<IAMFilterMiscFlags>(this, out);
    return Filter::other_interface(iid, out);
}

STDMETHODIMP ShareFilter::Stop() {
    std::lock_guard guard(lock());
    pin_.on_stop();
    set_state(State_Stopped);
    return S_OK;
}

HRESULT ShareFilter::pause_locked() {
    if (state() == State_Stopped) {
        const HRESULT started = pin_.on_pause_from_stopped();
        if (FAILED(started)) return started;
    } else if (state() == State_Running) {
        pin_.on_pause_from_running();
    }
    set_state(State_Paused);
    return S_OK;
}

STDMETHODIMP ShareFilter::Pause() {
    std::lock_guard guard(lock());
    return vlxcom::com_guard([&] { return pause_locked(); });
}

STDMETHODIMP ShareFilter::Run(REFERENCE_TIME start) {
    std::lock_guard guard(lock());
    if (state() == State_Running) return S_OK;
    if (state() == State_Stopped) {
        const HRESULT paused = vlxcom::com_guard([&] { return pause_locked(); });
        if (FAILED(paused)) return paused;
    }
    pin_.on_run(start, clock());
    set_state(State_Running);
    return S_OK;
}

STDMETHODIMP ShareFilter::GetState(DWORD timeout, FILTER_STATE* state) {
    const HRESULT hr = Filter::GetState(timeout, state);
    // A live source has nothing to show while paused.
    return hr == S_OK && *state == State_Paused ? VFW_S_CANT_CUE : hr;
}

// ---- Pin: formats ----------------------------------------------------------

SharePin::SharePin(ShareFilter& filter, int32_t channel)
    : OutputPinBase(filter, L"Capture"), channel_(channel), streamer_(channel) {}

SharePin::~SharePin() { drop_connection(); }

STDMETHODIMP SharePin::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *object = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IAMStreamConfig)) {
        *object = static_cast<IAMStreamConfig*>(this);
    } else if (IsEqualIID(iid, IID_IKsPropertySet)) {
        *object = static_cast<IKsPropertySet*>(this);
    } else if (IsEqualIID(iid, IID_IAMDroppedFrames)) {
        *object = static_cast<IAMDroppedFrames*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

std::vector<StreamFormat> SharePin::current_capabilities() const {
    transport::PublishedShape shape;
    if (transport::publisher_shape(channel_, shape) && shape.width % 2 == 0 && shape.height % 2 == 0 && shape.width <= 4096 &&
        shape.height <= 4096)
        return capabilities(shape.width, shape.height,
                            shape.frame_interval > 0 ? shape.frame_interval : VLXSHARE_IDLE_FRAME_INTERVAL);
    return capabilities(VLXSHARE_IDLE_WIDTH, VLXSHARE_IDLE_HEIGHT, VLXSHARE_IDLE_FRAME_INTERVAL);
}

std::optional<StreamFormat> SharePin::chosen() const {
    std::lock_guard guard(choice_lock_);
    return choice_;
}

std::vector<StreamFormat> SharePin::offered() const {
    if (const auto format = chosen()) return {*format};
    return current_capabilities();
}

STDMETHODIMP SharePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    return vlxcom::com_guard([&] {
        std::vector<AM_MEDIA_TYPE> list;
        for (const StreamFormat& format : offered()) {
            AM_MEDIA_TYPE type{};
            if (SUCCEEDED(media_type_of(format, type))) list.push_back(type);
        }
        return vlxcom::create_media_type_enumerator(std::move(list), types);
    });
}

STDMETHODIMP SharePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    const auto format = acceptable(*type);
    if (!format) return S_FALSE;
    const auto choice = chosen();
    return !choice || same_format(*choice, *format) ? S_OK : S_FALSE;
}

// ---- Pin: connection -------------------------------------------------------

STDMETHODIMP SharePin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    return vlxcom::com_guard([&] { return connect(receiver, type); });
}

HRESULT SharePin::connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION direction;
    if (FAILED(receiver->QueryDirection(&direction)) || direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;

    if (type && !is_partial(*type)) {
        const auto format = acceptable(*type);
        if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
        const auto choice = chosen();
        if (choice && !same_format(*choice, *format)) return VFW_E_TYPE_NOT_ACCEPTED;
        return try_connection(receiver, *format);
    }
    for (const StreamFormat& format : offered()) {
        if (type) {
            vlx::MediaType candidate;
            if (FAILED(media_type_of(format, *candidate.get()))) return E_OUTOFMEMORY;
            if (!vlx::matches_partial(*candidate.get(), *type)) continue;
        }
        if (SUCCEEDED(try_connection(receiver, format))) return S_OK;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT SharePin::try_connection(IPin* receiver, const StreamFormat& format) {
    vlx::MediaType type;
    if (FAILED(media_type_of(format, *type.get()))) return E_OUTOFMEMORY;
    const HRESULT received = receiver->ReceiveConnection(this, type.get());
    if (FAILED(received)) return received;
    ComPtr<IMemInputPin> input;
    HRESULT negotiated = receiver->QueryInterface(IID_IMemInputPin, input.put_void());
    if (SUCCEEDED(negotiated)) negotiated = negotiate_allocator(input.get(), format);
    if (FAILED(negotiated)) {
        receiver->Disconnect();
        return negotiated;
    }
    peer_ = ComPtr<IPin>::share(receiver);
    peer_input_ = std::move(input);
    connection_ = format;
    *type_.reset() = *type.get();
    *type.get() = AM_MEDIA_TYPE{};  // ownership moved to type_
    return S_OK;
}

HRESULT SharePin::negotiate_allocator(IMemInputPin* input, const StreamFormat& format) {
    ALLOCATOR_PROPERTIES wanted{};
    input->GetAllocatorRequirements(&wanted);
    ComPtr<IMemAllocator> allocator;
    if (FAILED(input->GetAllocator(allocator.put())) || !allocator) {
        const HRESULT created = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IMemAllocator, allocator.put_void());
        if (FAILED(created)) return created;
    }
    ALLOCATOR_PROPERTIES request{};
    request.cBuffers = std::max<long>(wanted.cBuffers, 4);
    request.cbBuffer = std::max<long>(wanted.cbBuffer, static_cast<long>(format.image_bytes()));
    request.cbAlign = std::max<long>(wanted.cbAlign, 1);
    request.cbPrefix = wanted.cbPrefix;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(&request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cbBuffer < static_cast<long>(format.image_bytes())) return VFW_E_SIZENOTSET;
    hr = input->NotifyAllocator(allocator.get(), FALSE);
    if (FAILED(hr)) return hr;
    allocator_ = std::move(allocator);
    return S_OK;
}

void SharePin::drop_connection() {
    streamer_.stop();
    allocator_.reset();
    peer_input_.reset();
    PinBase::drop_connection();
}

// ---- IAMStreamConfig -------------------------------------------------------

STDMETHODIMP SharePin::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    const auto format = acceptable(*type);
    if (!format) return VFW_E_INVALIDMEDIATYPE;
    if (peer_) {
        vlx::MediaType normalised;
        if (FAILED(media_type_of(*format, *normalised.get()))) return E_OUTOFMEMORY;
        if (peer_->QueryAccept(normalised.get()) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    }
    std::optional<StreamFormat> before;
    {
        std::lock_guard choosing(choice_lock_);
        before = std::exchange(choice_, *format);
    }
    if (!peer_ || same_format(connection_, *format) || !filter_.graph()) return S_OK;
    ComPtr<IFilterGraph2> graph;
    const HRESULT reconnected = SUCCEEDED(filter_.graph()->QueryInterface(IID_IFilterGraph2, graph.put_void()))
                                    ? graph->ReconnectEx(this, nullptr)
                                    : filter_.graph()->Reconnect(this);
    if (FAILED(reconnected)) {
        std::lock_guard choosing(choice_lock_);
        choice_ = before;
    }
    return reconnected;
}

STDMETHODIMP SharePin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    return vlxcom::com_guard([&] {
        std::lock_guard guard(filter_.lock());
        if (peer_) {
            *type = vlx::clone_media_type(*type_.get());
            return *type ? S_OK : E_OUTOFMEMORY;
        }
        vlx::MediaType current;
        if (FAILED(media_type_of(offered().front(), *current.get()))) return E_OUTOFMEMORY;
        *type = vlx::clone_media_type(*current.get());
        return *type ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP SharePin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = 3;
    *size = static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS));
    return S_OK;
}

STDMETHODIMP SharePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    if (index < 0) return E_INVALIDARG;
    return vlxcom::com_guard([&] {
        const std::vector<StreamFormat> list = current_capabilities();
        if (index >= static_cast<int>(list.size())) return S_FALSE;
        vlx::MediaType capability;
        if (FAILED(media_type_of(list[static_cast<size_t>(index)], *capability.get()))) return E_OUTOFMEMORY;
        *type = vlx::clone_media_type(*capability.get());
        if (!*type) return E_OUTOFMEMORY;
        VIDEO_STREAM_CONFIG_CAPS block;
        caps_of(list[static_cast<size_t>(index)], block);
        std::memcpy(caps, &block, sizeof block);
        return S_OK;
    });
}

// ---- IKsPropertySet ----------------------------------------------------------

STDMETHODIMP SharePin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
    return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

STDMETHODIMP SharePin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD data_size, DWORD* returned) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (returned) *returned = sizeof(GUID);
    if (!data) return returned ? S_OK : E_POINTER;
    if (data_size < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP SharePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

// ---- IAMDroppedFrames --------------------------------------------------------

STDMETHODIMP SharePin::GetNumDropped(LONG* number) {
    if (!number) return E_POINTER;
    *number = streamer_.dropped();
    return S_OK;
}

STDMETHODIMP SharePin::GetNumNotDropped(LONG* number) {
    if (!number) return E_POINTER;
    *number = streamer_.delivered();
    return S_OK;
}

// Which frames were skipped is not kept: the publisher's numbers are not
// this stream's.
STDMETHODIMP SharePin::GetDroppedInfo(LONG size, LONG* numbers, LONG* copied) {
    if (!numbers || !copied) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    *copied = 0;
    return S_OK;
}

STDMETHODIMP SharePin::GetAverageFrameSize(LONG* size) {
    if (!size) return E_POINTER;
    *size = streamer_.average_size();
    return S_OK;
}

}  // namespace vlxshare::source
