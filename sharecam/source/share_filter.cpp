#include "share_filter.h"

#include "common/media_type.h"
#include "sharecam/transport/channel_reader.h"
#include "vidlox_sharecam.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vlxshare::source {

namespace {

bool same_format(const StreamFormat& a, const StreamFormat& b) {
    return a.pixels == b.pixels && a.width == b.width && a.height == b.height && a.frame_interval == b.frame_interval;
}

}  // namespace

// ---- Filter ----------------------------------------------------------------

ShareFilter::ShareFilter(const CLSID& clsid, int32_t channel) : LiveSource(clsid), pin_(*this, channel) {}

ShareFilter::~ShareFilter() { stop_pins(); }

// ---- Pin: formats ----------------------------------------------------------

SharePin::SharePin(ShareFilter& filter, int32_t channel)
    : LiveOutputPin(filter, L"Capture", PIN_CATEGORY_CAPTURE, stream_), channel_(channel), stream_(channel),
      dropped_frames_(*static_cast<IPin*>(this), stream_.counts()) {}

// The stream is a member: it stops before it goes.
SharePin::~SharePin() { on_stop(); }

STDMETHODIMP SharePin::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *object = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IAMStreamConfig)) {
        *object = static_cast<IAMStreamConfig*>(this);
    } else if (IsEqualIID(iid, IID_IKsPropertySet)) {
        *object = static_cast<IKsPropertySet*>(this);
    } else if (IsEqualIID(iid, IID_IAMDroppedFrames)) {
        *object = static_cast<IAMDroppedFrames*>(&dropped_frames_);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

std::vector<StreamFormat> SharePin::current_capabilities() const {
    transport::PublishedShape shape;
    if (transport::publisher_shape(channel_, shape) && shape.width % 2 == 0 && shape.height % 2 == 0 &&
        shape.width <= 4096 && shape.height <= 4096)
        return capabilities(shape.width, shape.height,
                            shape.frame_interval > 0 ? std::clamp<int64_t>(shape.frame_interval,
                                                                            VLXSHARE_FASTEST_FRAME_INTERVAL,
                                                                            VLXSHARE_SLOWEST_FRAME_INTERVAL)
                                                     : VLXSHARE_IDLE_FRAME_INTERVAL);
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

std::vector<AM_MEDIA_TYPE> SharePin::offered_types() const {
    std::vector<AM_MEDIA_TYPE> list;
    for (const StreamFormat& format : offered()) {
        AM_MEDIA_TYPE type{};
        if (SUCCEEDED(media_type_of(format, type))) list.push_back(type);
    }
    return list;
}

HRESULT SharePin::connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const {
    const auto format = acceptable(asked);
    if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
    const auto choice = chosen();
    if (choice && !same_format(*choice, *format)) return VFW_E_TYPE_NOT_ACCEPTED;
    return media_type_of(*format, connection);
}

long SharePin::sample_bytes(const AM_MEDIA_TYPE& connection) const {
    const auto format = acceptable(connection);
    return format ? static_cast<long>(format->image_bytes()) : 0;
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
        if (FAILED(peer_accepts(*normalised.get()))) return VFW_E_INVALIDMEDIATYPE;
    }
    std::optional<StreamFormat> before;
    {
        std::lock_guard choosing(choice_lock_);
        before = std::exchange(choice_, *format);
    }
    if (!peer_ || same_format(*acceptable(connection_type()), *format)) return S_OK;
    const HRESULT reconnected = reconnect();
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

}  // namespace vlxshare::source
