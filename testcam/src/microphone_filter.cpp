#include "microphone_filter.h"

#include "comkit/enumerators.h"
#include "microphone.h"

#include <ks.h>
#include <ksmedia.h>
#include <mmreg.h>

#include <algorithm>
#include <cstring>

namespace vlxcam {

namespace {

// What an audio driver buffers when the application suggests nothing.
constexpr uint32_t kDefaultBufferMs = 500;
constexpr long kDefaultBuffers = 4;

}  // namespace

// ---- MicrophonePin ------------------------------------------------------------

MicrophonePin::MicrophonePin(MicrophoneFilter& filter)
    : OutputPinBase(filter, L"Capture"), microphone_(filter), streamer_(filter.device_clock(), filter.gate()) {}

MicrophonePin::~MicrophonePin() { drop_connection(); }

STDMETHODIMP MicrophonePin::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) return vlxcom::hand_out<IPin>(this, out);
    if (IsEqualIID(iid, IID_IAMStreamConfig)) return vlxcom::hand_out<IAMStreamConfig>(this, out);
    if (IsEqualIID(iid, IID_IAMBufferNegotiation)) return vlxcom::hand_out<IAMBufferNegotiation>(this, out);
    if (IsEqualIID(iid, IID_IKsPropertySet)) return vlxcom::hand_out<IKsPropertySet>(this, out);
    *out = nullptr;
    return E_NOINTERFACE;
}

AudioFormat MicrophonePin::chosen_format() const {
    std::lock_guard guard(choice_lock_);
    return choice_ ? *choice_ : microphone_formats().front();
}

STDMETHODIMP MicrophonePin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (microphone_.profile().quirk == MicrophoneQuirk::refuses_formats) return VFW_E_NO_ACCEPTABLE_TYPES;
    PIN_DIRECTION direction;
    if (FAILED(receiver->QueryDirection(&direction)) || direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    // The pin connects in its one chosen format, as audio capture pins do.
    const AudioFormat format = chosen_format();
    if (type && !IsEqualGUID(type->formattype, GUID_NULL)) {
        const std::optional<AudioFormat> asked = offered_format(*type);
        if (!asked || !(*asked == format)) return VFW_E_NO_ACCEPTABLE_TYPES;
    } else if (type) {
        vlx::MediaType ours;
        if (!audio_media_type(format, *ours.get())) return E_OUTOFMEMORY;
        if (!vlx::matches_partial(*ours.get(), *type)) return VFW_E_NO_ACCEPTABLE_TYPES;
    }
    return vlxcom::com_guard([&] { return try_connection(receiver, format); });
}

HRESULT MicrophonePin::try_connection(IPin* receiver, const AudioFormat& format) {
    vlx::MediaType type;
    if (!audio_media_type(format, *type.get())) return E_OUTOFMEMORY;
    HRESULT hr = receiver->ReceiveConnection(this, type.get());
    if (FAILED(hr)) return hr;
    ComPtr<IMemInputPin> input;
    ComPtr<IMemAllocator> allocator;
    hr = receiver->QueryInterface(IID_IMemInputPin, input.put_void());
    if (SUCCEEDED(hr) && (FAILED(input->GetAllocator(allocator.put())) || !allocator))
        hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                              allocator.put_void());
    ALLOCATOR_PROPERTIES request{kDefaultBuffers, static_cast<long>(format.bytes_per_second() * kDefaultBufferMs / 1000),
                                 1, 0};
    if (suggested_) {
        if (suggested_->cBuffers > 0) request.cBuffers = suggested_->cBuffers;
        if (suggested_->cbBuffer > 0) request.cbBuffer = suggested_->cbBuffer;
        if (suggested_->cbAlign > 0) request.cbAlign = suggested_->cbAlign;
        if (suggested_->cbPrefix >= 0) request.cbPrefix = suggested_->cbPrefix;
    }
    // Whole sample frames, at least one.
    request.cbBuffer = std::max<long>(request.cbBuffer / static_cast<long>(format.block_align()), 1) *
                       static_cast<long>(format.block_align());
    ALLOCATOR_PROPERTIES actual{};
    if (SUCCEEDED(hr)) hr = allocator->SetProperties(&request, &actual);
    if (SUCCEEDED(hr) && actual.cbBuffer < request.cbBuffer) hr = VFW_E_SIZENOTSET;
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator.get(), FALSE);
    if (FAILED(hr)) {
        receiver->Disconnect();
        return hr;
    }
    peer_ = ComPtr<IPin>::share(receiver);
    peer_input_ = std::move(input);
    allocator_ = std::move(allocator);
    allocated_ = actual;
    allocated_.cbBuffer = request.cbBuffer;  // the block size delivered
    connection_format_ = format;
    *type_.reset() = *type.get();
    *type.get() = AM_MEDIA_TYPE{};  // ownership moved to type_
    return S_OK;
}

void MicrophonePin::drop_connection() {
    streamer_.stop();
    allocator_.reset();
    peer_input_.reset();
    allocated_ = ALLOCATOR_PROPERTIES{};
    PinBase::drop_connection();
}

STDMETHODIMP MicrophonePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    const std::optional<AudioFormat> format = offered_format(*type);
    return format && *format == chosen_format() ? S_OK : S_FALSE;
}

STDMETHODIMP MicrophonePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    return vlxcom::com_guard([&] {
        AM_MEDIA_TYPE type{};
        if (!audio_media_type(chosen_format(), type)) return E_OUTOFMEMORY;
        return vlxcom::create_media_type_enumerator({type}, types);
    });
}

HRESULT MicrophonePin::on_pause_from_stopped() {
    if (!peer_ || !allocator_) return S_OK;
    return streamer_.start(allocator_.get(), peer_input_.get(), connection_format_,
                           static_cast<uint32_t>(allocated_.cbBuffer));
}

// As capture filters do: only while stopped; a connected pin asks its peer
// and has the graph reconnect it with the new format.
STDMETHODIMP MicrophonePin::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (microphone_.profile().quirk == MicrophoneQuirk::refuses_formats) return VFW_E_INVALIDMEDIATYPE;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    const std::optional<AudioFormat> format = offered_format(*type);
    if (!format) return VFW_E_INVALIDMEDIATYPE;
    if (peer_ && peer_->QueryAccept(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    std::optional<AudioFormat> before;
    {
        std::lock_guard choosing(choice_lock_);
        before = std::exchange(choice_, format);
    }
    if (!peer_ || connection_format_ == *format || !microphone_.graph()) return S_OK;
    ComPtr<IFilterGraph2> graph;
    const HRESULT reconnected = SUCCEEDED(microphone_.graph()->QueryInterface(IID_IFilterGraph2, graph.put_void()))
                                    ? graph->ReconnectEx(this, nullptr)
                                    : microphone_.graph()->Reconnect(this);
    if (FAILED(reconnected)) {
        std::lock_guard choosing(choice_lock_);
        choice_ = before;
    }
    return reconnected;
}

STDMETHODIMP MicrophonePin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    std::lock_guard guard(filter_.lock());
    vlx::MediaType current;
    if (!audio_media_type(peer_ ? connection_format_ : chosen_format(), *current.get())) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*current.get());
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MicrophonePin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = static_cast<int>(microphone_formats().size());
    *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP MicrophonePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    if (index < 0) return E_INVALIDARG;
    if (index >= static_cast<int>(microphone_formats().size())) return S_FALSE;
    const AudioFormat& format = microphone_formats()[static_cast<size_t>(index)];
    vlx::MediaType capability;
    if (!audio_media_type(format, *capability.get())) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*capability.get());
    if (!*type) return E_OUTOFMEMORY;
    AUDIO_STREAM_CONFIG_CAPS block;
    audio_caps(format, block);
    std::memcpy(caps, &block, sizeof block);
    return S_OK;
}

// Before the pin connects, as the platform documents; negative fields leave
// the driver's choice.
STDMETHODIMP MicrophonePin::SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) {
    if (!properties) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    suggested_ = *properties;
    return S_OK;
}

STDMETHODIMP MicrophonePin::GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) {
    if (!properties) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (!peer_) return E_FAIL;
    *properties = allocated_;
    return S_OK;
}

STDMETHODIMP MicrophonePin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
    return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

STDMETHODIMP MicrophonePin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD data_size, DWORD* returned) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (returned) *returned = sizeof(GUID);
    if (!data) return returned ? S_OK : E_POINTER;
    if (data_size < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP MicrophonePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

// ---- MicrophoneFilter ---------------------------------------------------------

MicrophoneFilter::MicrophoneFilter(const MicrophoneProfile& profile)
    : Filter(profile.clsid), profile_(profile), clock_(clock_error_of(profile)),
      pin_(std::make_unique<MicrophonePin>(*this)) {
    add_live_microphone(this);
}

MicrophoneFilter::~MicrophoneFilter() {
    remove_live_microphone(this);
    pin_.reset();
}

HRESULT MicrophoneFilter::other_interface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IReferenceClock)) return vlxcom::hand_out<IReferenceClock>(this, out);
    if (IsEqualIID(iid, IID_IAMFilterMiscFlags)) return vlxcom::hand_out<IAMFilterMiscFlags>(this, out);
    return Filter::other_interface(iid, out);
}

STDMETHODIMP MicrophoneFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard guard(lock());
    own_clock_is_graphs_ = clock == static_cast<IReferenceClock*>(this);
    return Filter::SetSyncSource(own_clock_is_graphs_ ? nullptr : clock);
}

STDMETHODIMP MicrophoneFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard guard(lock());
    if (!own_clock_is_graphs_) return Filter::GetSyncSource(clock);
    return vlxcom::hand_out<IReferenceClock>(this, reinterpret_cast<void**>(clock));
}

STDMETHODIMP MicrophoneFilter::GetTime(REFERENCE_TIME* time) {
    if (!time) return E_POINTER;
    *time = clock_.now();
    return S_OK;
}
STDMETHODIMP MicrophoneFilter::AdviseTime(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie) {
    return clock_.advise_time(base, offset, event, cookie);
}
STDMETHODIMP MicrophoneFilter::AdvisePeriodic(REFERENCE_TIME start, REFERENCE_TIME period, HSEMAPHORE semaphore,
                                              DWORD_PTR* cookie) {
    return clock_.advise_periodic(start, period, semaphore, cookie);
}
STDMETHODIMP MicrophoneFilter::Unadvise(DWORD_PTR cookie) { return clock_.unadvise(cookie); }

STDMETHODIMP MicrophoneFilter::Stop() {
    std::lock_guard guard(lock());
    pin_->on_stop();
    set_state(State_Stopped);
    return S_OK;
}

// A microphone another program holds fails as it leaves Stopped, and tells
// the graph too (see the camera's "(in use)" device).
HRESULT MicrophoneFilter::pause_locked() {
    if (state() == State_Stopped && profile_.quirk == MicrophoneQuirk::in_use) {
        const HRESULT in_use = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);
        notify_graph(EC_ERRORABORT, static_cast<LONG_PTR>(in_use), 0);
        return in_use;
    }
    if (state() == State_Stopped) {
        const HRESULT started = pin_->on_pause_from_stopped();
        if (FAILED(started)) return started;
    } else if (state() == State_Running) {
        pin_->on_pause_from_running();
    }
    set_state(State_Paused);
    return S_OK;
}

STDMETHODIMP MicrophoneFilter::Pause() {
    std::lock_guard guard(lock());
    return vlxcom::com_guard([&] { return pause_locked(); });
}

STDMETHODIMP MicrophoneFilter::Run(REFERENCE_TIME start) {
    std::lock_guard guard(lock());
    if (state() == State_Running) return S_OK;
    if (state() == State_Stopped) {
        const HRESULT paused = vlxcom::com_guard([&] { return pause_locked(); });
        if (FAILED(paused)) return paused;
    }
    pin_->on_run(start, run_clock());
    set_state(State_Running);
    return S_OK;
}

STDMETHODIMP MicrophoneFilter::GetState(DWORD timeout, FILTER_STATE* state) {
    const HRESULT hr = Filter::GetState(timeout, state);
    return hr == S_OK && *state == State_Paused ? VFW_S_CANT_CUE : hr;
}

void MicrophoneFilter::notify_graph(long code, LONG_PTR param1, LONG_PTR param2) {
    ComPtr<IMediaEventSink> sink;
    {
        std::lock_guard guard(lock());
        if (graph()) graph()->QueryInterface(IID_IMediaEventSink, sink.put_void());
    }
    if (sink) sink->Notify(code, param1, param2);
}

void MicrophoneFilter::device_gone() {
    gate_.close();
    gone_ = true;
    notify_graph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
}

void MicrophoneFilter::device_back() {
    if (gone_) notify_graph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 1);
}

void MicrophoneFilter::stream_failed(HRESULT error) {
    gate_.close();
    notify_graph(EC_ERRORABORT, static_cast<LONG_PTR>(error), 0);
}

}  // namespace vlxcam
