#include "camera_filter.h"

#include "vidlox_testcam.h"

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
    : LiveOutputPin(filter, name, category, stream_), camera_(filter),
      stream_(first_frame_delay(filter.profile()), filter.stripe_offset(), filter.gate()),
      dropped_frames_(*static_cast<IPin*>(this), stream_.counts()) {}

// The stream is a member: it stops before it goes.
OutputPin::~OutputPin() { on_stop(); }

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
    } else if (IsEqualIID(iid, IID_IAMDroppedFrames) && IsEqualGUID(category(), PIN_CATEGORY_CAPTURE)) {
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

VideoFormat OutputPin::connection_format() const {
    const std::optional<VideoFormat> format = acceptable_format(device_capabilities(camera_), connection_type());
    return format ? *format : VideoFormat{};
}

VideoFormat OutputPin::current_format() const {
    if (peer_) return connection_format();
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

// Takes no lock but the choice's (see choice_lock_).
HRESULT OutputPin::connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const {
    const std::optional<VideoFormat> format = acceptable_format(device_capabilities(camera_), asked);
    if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
    const Choice chosen = choice();
    if (chosen.format && !same_format(*chosen.format, *format)) return VFW_E_TYPE_NOT_ACCEPTED;
    // Our own normalised description of that format.
    if (FAILED(video_info_media_type(*format, connection))) return E_OUTOFMEMORY;
    if (chosen.given_sizes) state_sizes(connection, *chosen.given_sizes);
    return S_OK;
}

long OutputPin::sample_bytes(const AM_MEDIA_TYPE& connection) const {
    const std::optional<VideoFormat> format = acceptable_format(device_capabilities(camera_), connection);
    return format ? static_cast<long>(format->image_size()) : 0;
}

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
    const bool capture = IsEqualGUID(category(), PIN_CATEGORY_CAPTURE);
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
    return LiveOutputPin::peer_accepts(*normalised.get());
}

HRESULT OutputPin::take_format(const VideoFormat& format, const std::optional<StatedSizes>& given) {
    Choice before;
    {
        std::lock_guard choosing(choice_lock_);
        before = std::exchange(choice_, Choice{format, given});
    }
    if (!peer_ || same_format(connection_format(), format)) return S_OK;
    const HRESULT reconnected = reconnect();
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

STDMETHODIMP OutputPin::GetPages(CAUUID* pages) { return format_page_list(pages); }

}  // namespace vlxcam
