#include "still_pin.h"

#include "camera_filter.h"

#include <algorithm>
#include <cstring>

namespace vlxcam {

namespace {

// Stills state no rate of their own; their type carries the capture's
// fastest interval, inside the range every still size gives.
constexpr Capability kStillCapabilities[] = {
    {3840, 2160, k30fps, false},
    {1920, 1080, k30fps, false},
    {1280, 720, k30fps, false},
    {640, 480, k30fps, false},
};

}  // namespace

Capabilities still_capabilities() { return kStillCapabilities; }

StillPin::StillPin(CameraFilter& filter)
    : LiveOutputPin(filter, L"Still", PIN_CATEGORY_STILL, stream_), camera_(filter),
      stream_(filter.gate(), button_event_name(filter.profile().clsid)) {}

// The stream is a member: it stops before it goes.
StillPin::~StillPin() { on_stop(); }

STDMETHODIMP StillPin::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *object = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IAMStreamConfig)) {
        *object = static_cast<IAMStreamConfig*>(this);
    } else if (IsEqualIID(iid, IID_IKsPropertySet)) {
        *object = static_cast<IKsPropertySet*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT StillPin::set_mode(LONG mode) {
    if (mode & ~kCaps) return E_INVALIDARG;
    stream_.enable_button((mode & VideoControlFlag_ExternalTriggerEnable) != 0);
    if (!(mode & VideoControlFlag_Trigger)) return S_OK;
    // A kernel-streaming driver's trigger that the device does not carry out.
    if (camera_.profile().stills == Stills::pin_trigger_fails) return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
    // A still comes from a running stream only.
    if (!connected() || filter_.state() != State_Running) return VFW_E_NOT_RUNNING;
    return stream_.trigger();
}

std::optional<VideoFormat> StillPin::chosen() const {
    std::lock_guard guard(choice_lock_);
    return choice_;
}

std::vector<AM_MEDIA_TYPE> StillPin::offered_types() const {
    const std::optional<VideoFormat> format = chosen();
    std::vector<AM_MEDIA_TYPE> types;
    const int count = format ? 1 : static_cast<int>(std::size(kStillCapabilities));
    types.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE type{};
        const HRESULT made = format ? video_info_media_type(*format, type)
                                    : capability_media_type(kStillCapabilities, i, type);
        if (SUCCEEDED(made)) types.push_back(type);
    }
    return types;
}

HRESULT StillPin::connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const {
    const std::optional<VideoFormat> format = acceptable_format(kStillCapabilities, asked);
    if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
    const std::optional<VideoFormat> choice = chosen();
    if (choice && (choice->width != format->width || choice->height != format->height)) return VFW_E_TYPE_NOT_ACCEPTED;
    return FAILED(video_info_media_type(*format, connection)) ? E_OUTOFMEMORY : S_OK;
}

long StillPin::sample_bytes(const AM_MEDIA_TYPE& connection) const {
    const std::optional<VideoFormat> format = acceptable_format(kStillCapabilities, connection);
    return format ? static_cast<long>(format->image_size()) : 0;
}

STDMETHODIMP StillPin::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    const std::optional<VideoFormat> format = acceptable_format(kStillCapabilities, *type);
    if (!format) return VFW_E_INVALIDMEDIATYPE;
    MediaType normalised;
    if (FAILED(video_info_media_type(*format, *normalised.get()))) return E_OUTOFMEMORY;
    if (const HRESULT accepted = peer_accepts(*normalised.get()); FAILED(accepted)) return accepted;
    std::optional<VideoFormat> before;
    {
        std::lock_guard choosing(choice_lock_);
        before = std::exchange(choice_, format);
    }
    if (!connected()) return S_OK;
    const HRESULT reconnected = reconnect();
    if (FAILED(reconnected)) {
        std::lock_guard choosing(choice_lock_);
        choice_ = before;
    }
    return reconnected;
}

STDMETHODIMP StillPin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    *type = nullptr;
    MediaType current;
    const std::optional<VideoFormat> choice = chosen();
    const HRESULT made = connected() ? vlx::copy_media_type(*current.get(), connection_type())
                         : choice    ? video_info_media_type(*choice, *current.get())
                                     : capability_media_type(kStillCapabilities, 0, *current.get());
    if (FAILED(made)) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*current.get());
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP StillPin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = static_cast<int>(std::size(kStillCapabilities));
    *size = static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS));
    return S_OK;
}

STDMETHODIMP StillPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    if (index < 0) return E_INVALIDARG;
    if (index >= static_cast<int>(std::size(kStillCapabilities))) return S_FALSE;
    MediaType capability;
    if (FAILED(capability_media_type(kStillCapabilities, index, *capability.get()))) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*capability.get());
    if (!*type) return E_OUTOFMEMORY;
    VIDEO_STREAM_CONFIG_CAPS block;
    capability_caps(kStillCapabilities, index, block);
    std::memcpy(caps, &block, sizeof block);
    return S_OK;
}

}  // namespace vlxcam
