#include "camera_filter.h"

#include "comkit/enumerators.h"
#include "vidlox_testcam.h"

#include <ks.h>
#include <ksmedia.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace vlxcam {

namespace {

std::chrono::milliseconds first_frame_delay(const DeviceProfile& profile) {
    return std::chrono::milliseconds(profile.quirk == Quirk::slow_start ? VLXCAM_SLOW_START_MS : 0);
}

bool same_format(const VideoFormat& a, const VideoFormat& b) {
    return a.width == b.width && a.height == b.height && a.frame_interval == b.frame_interval &&
           a.fourcc == b.fourcc;
}

Capabilities device_capabilities(const CameraFilter& filter) { return capabilities_of(filter.profile().formats); }

}  // namespace

OutputPin::OutputPin(CameraFilter& filter, const wchar_t* name, const GUID& category)
    : OutputPinBase(filter, name), camera_(filter), category_(category),
      streamer_(first_frame_delay(filter.profile()), filter.stripe_offset(), filter.gate()),
      dropped_frames_(*static_cast<IPin*>(this), streamer_.counts()) {}

OutputPin::~OutputPin() { drop_connection(); }

STDMETHODIMP OutputPin::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *object = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IAMStreamConfig)) {
        *object = static_cast<IAMStreamConfig*>(this);
    } else if (IsEqualIID(iid, IID_IKsPropertySet)) {
        *object = static_cast<IKsPropertySet*>(this);
    } else if (IsEqualIID(iid, IID_ISpecifyPropertyPages)) {
        *object = static_cast<ISpecifyPropertyPages*>(this);
    } else if (IsEqualIID(iid, IID_IAMDroppedFrames) && IsEqualGUID(category_, PIN_CATEGORY_CAPTURE)) {
        *object = static_cast<IAMDroppedFrames*>(&dropped_frames_);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

OutputPin::Choice OutputPin::choice() const {
    std::lock_guard guard(choice_lock_);
    return choice_;
}

VideoFormat OutputPin::current_format() const {
    if (peer_) return connection_format_;
    const std::optional<VideoFormat> chosen = choice().format;
    return chosen ? *chosen : capability_format(device_capabilities(camera_), 0);
}

// Throws std::bad_alloc before it has made any type.
std::vector<AM_MEDIA_TYPE> OutputPin::offered_types() const {
    const std::optional<VideoFormat> chosen = choice().format;
    const Capabilities capabilities = device_capabilities(camera_);
    // After SetFormat the chosen format is the only one on offer.
    const int count = chosen ? 1 : static_cast<int>(capabilities.size());
    std::vector<AM_MEDIA_TYPE> types;
    types.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE type{};
        const HRESULT made =
            chosen ? video_info_media_type(*chosen, type) : capability_media_type(capabilities, i, type);
        if (SUCCEEDED(made)) types.push_back(type);
    }
    return types;
}

// ---- Connection --------------------------------------------------------

STDMETHODIMP OutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    return vlxcom::com_guard([&] { return connect(receiver, type); });
}

HRESULT OutputPin::connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION direction;
    if (FAILED(receiver->QueryDirection(&direction)) || direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;

    if (type && !is_partial(*type)) return try_connection(receiver, *type);

    std::vector<AM_MEDIA_TYPE> ours = offered_types();
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const AM_MEDIA_TYPE& candidate : ours) {
        if (type && !matches_partial(candidate, *type)) continue;
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
            const bool fits = !type || matches_partial(*candidate.get(), *type);
            if (fits && SUCCEEDED(try_connection(receiver, *candidate.get()))) return S_OK;
        }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::try_connection(IPin* receiver, const AM_MEDIA_TYPE& type) {
    const std::optional<VideoFormat> format = acceptable_format(device_capabilities(camera_), type);
    if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
    const Choice chosen = choice();
    if (chosen.format && !same_format(*chosen.format, *format)) return VFW_E_TYPE_NOT_ACCEPTED;

    // Connect with our own normalised description of that format.
    MediaType normalised;
    if (FAILED(video_info_media_type(*format, *normalised.get()))) return E_OUTOFMEMORY;
    if (chosen.given_sizes) state_sizes(*normalised.get(), *chosen.given_sizes);

    const HRESULT received = receiver->ReceiveConnection(this, normalised.get());
    if (FAILED(received)) return received;

    ComPtr<IMemInputPin> input;
    HRESULT negotiated = receiver->QueryInterface(IID_IMemInputPin, input.put_void());
    if (SUCCEEDED(negotiated)) negotiated = negotiate_allocator(input.get(), *format);
    if (FAILED(negotiated)) {
        receiver->Disconnect();
        return negotiated;
    }
    peer_ = ComPtr<IPin>::share(receiver);
    peer_input_ = std::move(input);
    connection_format_ = *format;
    *type_.reset() = *normalised.get();
    *normalised.get() = AM_MEDIA_TYPE{};  // ownership moved to type_
    return S_OK;
}

HRESULT OutputPin::negotiate_allocator(IMemInputPin* input, const VideoFormat& format) {
    ALLOCATOR_PROPERTIES wanted{};
    input->GetAllocatorRequirements(&wanted);  // optional for the peer

    ComPtr<IMemAllocator> allocator;
    if (FAILED(input->GetAllocator(allocator.put())) || !allocator) {
        const HRESULT created = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IMemAllocator, allocator.put_void());
        if (FAILED(created)) return created;
    }
    ALLOCATOR_PROPERTIES request{};
    request.cBuffers = std::max<long>(wanted.cBuffers, 4);
    request.cbBuffer = std::max<long>(wanted.cbBuffer, static_cast<long>(format.image_size()));
    request.cbAlign = std::max<long>(wanted.cbAlign, 1);
    request.cbPrefix = wanted.cbPrefix;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(&request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cbBuffer < static_cast<long>(format.image_size())) return VFW_E_SIZENOTSET;
    hr = input->NotifyAllocator(allocator.get(), FALSE);
    if (FAILED(hr)) return hr;
    allocator_ = std::move(allocator);
    return S_OK;
}

void OutputPin::drop_connection() {
    streamer_.stop();
    allocator_.reset();
    peer_input_.reset();
    PinBase::drop_connection();
}

// Neither takes the filter's lock (see choice_lock_).
STDMETHODIMP OutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    const std::optional<VideoFormat> format = acceptable_format(device_capabilities(camera_), *type);
    if (!format) return S_FALSE;
    const std::optional<VideoFormat> chosen = choice().format;
    return !chosen || same_format(*chosen, *format) ? S_OK : S_FALSE;
}

STDMETHODIMP OutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    return vlxcom::com_guard([&] { return vlxcom::create_media_type_enumerator(offered_types(), types); });
}


// ---- State changes (filter lock held) -----------------------------------

HRESULT OutputPin::on_pause_from_stopped() {
    if (!peer_ || !allocator_) return S_OK;  // an unconnected pin just stays idle
    return streamer_.start(allocator_.get(), peer_input_.get(), connection_format_);
}

void OutputPin::on_run(REFERENCE_TIME start, IReferenceClock* clock) { streamer_.run(start, clock); }
void OutputPin::on_pause_from_running() { streamer_.pause(); }
void OutputPin::on_stop() { streamer_.stop(); }

// ---- IAMStreamConfig ------------------------------------------------------

// As capture filters do: only while stopped; a connected pin asks its peer
// and has the graph reconnect it with the new format.
STDMETHODIMP OutputPin::SetFormat(AM_MEDIA_TYPE* type) {
    std::lock_guard guard(filter_.lock());
    if (camera_.profile().quirk == Quirk::refuses_formats) return VFW_E_INVALIDMEDIATYPE;
    if (!type) return E_POINTER;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    const std::optional<VideoFormat> format = acceptable_format(device_capabilities(camera_), *type);
    if (!format) return VFW_E_INVALIDMEDIATYPE;
    const std::optional<StatedSizes> given =
        camera_.profile().quirk == Quirk::keeps_given_sizes ? std::optional(stated_sizes(*type)) : std::nullopt;
    // The preview pin of a two-pin device shows what the capture pin
    // captures: nothing changes unless every peer involved takes it.
    const bool capture = IsEqualGUID(category_, PIN_CATEGORY_CAPTURE);
    HRESULT accepted = peer_accepts(*format);
    if (SUCCEEDED(accepted) && capture) accepted = camera_.previews_accept(*format);
    if (FAILED(accepted)) return accepted;
    const HRESULT applied = take_format(*format, given);
    if (FAILED(applied) || !capture) return applied;
    return camera_.capture_format_changed(*format);
}

HRESULT OutputPin::peer_accepts(const VideoFormat& format) const {
    if (!peer_) return S_OK;
    MediaType normalised;
    if (FAILED(video_info_media_type(format, *normalised.get()))) return E_OUTOFMEMORY;
    return peer_->QueryAccept(normalised.get()) == S_OK ? S_OK : VFW_E_INVALIDMEDIATYPE;
}

HRESULT OutputPin::take_format(const VideoFormat& format, const std::optional<StatedSizes>& given) {
    Choice before;
    {
        std::lock_guard choosing(choice_lock_);
        before = std::exchange(choice_, Choice{format, given});
    }
    if (!peer_ || same_format(connection_format_, format) || !camera_.graph()) return S_OK;
    ComPtr<IFilterGraph2> graph;
    const HRESULT reconnected = SUCCEEDED(camera_.graph()->QueryInterface(IID_IFilterGraph2, graph.put_void()))
                                    ? graph->ReconnectEx(this, nullptr)
                                    : camera_.graph()->Reconnect(this);
    if (FAILED(reconnected)) {
        std::lock_guard choosing(choice_lock_);
        choice_ = before;
    }
    return reconnected;
}

STDMETHODIMP OutputPin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    *type = nullptr;
    if (peer_) {
        *type = vlx::clone_media_type(*type_.get());
        return *type ? S_OK : E_OUTOFMEMORY;
    }
    MediaType current;
    if (FAILED(video_info_media_type(current_format(), *current.get()))) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*current.get());
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OutputPin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = static_cast<int>(device_capabilities(camera_).size());
    *size = camera_.profile().quirk == Quirk::caps_block_64 ? 64 : static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS));
    return S_OK;
}

STDMETHODIMP OutputPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    if (index < 0) return E_INVALIDARG;
    const Capabilities capabilities = device_capabilities(camera_);
    if (index >= static_cast<int>(capabilities.size())) return S_FALSE;
    MediaType capability;
    if (FAILED(capability_media_type(capabilities, index, *capability.get()))) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*capability.get());
    if (!*type) return E_OUTOFMEMORY;
    if (index == 0 && camera_.profile().quirk == Quirk::unstated_rate) {
        reinterpret_cast<VIDEOINFOHEADER*>((*type)->pbFormat)->AvgTimePerFrame = 0;
    }
    VIDEO_STREAM_CONFIG_CAPS block;
    capability_caps(capabilities, index, block);
    // Never write more than the block size we reported.
    int count = 0, size = 0;
    GetNumberOfCapabilities(&count, &size);
    std::memcpy(caps, &block, std::min<size_t>(static_cast<size_t>(size), sizeof block));
    return S_OK;
}

// ---- IKsPropertySet ----------------------------------------------------------

STDMETHODIMP OutputPin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
    return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

STDMETHODIMP OutputPin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD data_size, DWORD* returned) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (returned) *returned = sizeof(GUID);
    if (!data) return returned ? S_OK : E_POINTER;  // a size query
    if (data_size < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = category_;
    return S_OK;
}

STDMETHODIMP OutputPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

STDMETHODIMP OutputPin::GetPages(CAUUID* pages) { return format_page_list(pages); }

}  // namespace vlxcam
