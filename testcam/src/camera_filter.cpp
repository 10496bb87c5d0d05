#include "camera_filter.h"

#include <objbase.h>

namespace vlxcam {

HRESULT format_page_list(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = kFormatPageClsid;
    return S_OK;
}

CameraFilter::CameraFilter(const DeviceProfile& profile)
    : LiveSource(profile.clsid), profile_(profile), controls_(static_cast<IBaseFilter&>(*this), profile) {
    add_live_filter(this);
    switch (profile.quirk) {
    case Quirk::no_pins:
        break;
    case Quirk::preview_pin:
        pins_.push_back(std::make_unique<OutputPin>(*this, L"Capture", PIN_CATEGORY_CAPTURE));
        pins_.push_back(std::make_unique<OutputPin>(*this, L"Preview", PIN_CATEGORY_PREVIEW));
        break;
    default:
        pins_.push_back(std::make_unique<OutputPin>(*this, L"Capture", PIN_CATEGORY_CAPTURE));
        break;
    }
    for (const auto& pin : pins_) live_pins_[live_pin_count_++] = pin.get();
    if (profile.stills != Stills::none) {
        still_pin_ = std::make_unique<StillPin>(*this);
        video_control_ = std::make_unique<VideoControl>(static_cast<IBaseFilter&>(*this), *still_pin_);
        live_pins_[live_pin_count_++] = still_pin_.get();
    }
}

CameraFilter::~CameraFilter() {
    remove_live_filter(this);
    stop_pins();
}

std::vector<IPin*> CameraFilter::pins() {
    std::vector<IPin*> list;
    for (auto& pin : pins_) list.push_back(pin.get());
    if (still_pin_) list.push_back(still_pin_.get());
    return list;
}

HRESULT CameraFilter::other_interface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_ISpecifyPropertyPages)) return vlxcom::hand_out<ISpecifyPropertyPages>(this, out);
    if (IsEqualIID(iid, IID_IAMVideoControl) && video_control_)
        return vlxcom::hand_out<IAMVideoControl>(video_control_.get(), out);
    if (controls_.query(iid, out) == S_OK) return S_OK;
    return LiveSource::other_interface(iid, out);
}

// A kernel-streaming camera acquires the device as it leaves Stopped; one
// that another program holds fails there. The graph hears it as an abort
// too: a graph manager that starts its filters asynchronously (Wine's
// answers Run with S_FALSE) would otherwise lose the reason.
HRESULT CameraFilter::acquire() {
    if (profile_.quirk != Quirk::in_use) return S_OK;
    const HRESULT in_use = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);
    notify_graph(EC_ERRORABORT, static_cast<LONG_PTR>(in_use), 0);
    return in_use;
}

HRESULT CameraFilter::previews_accept(const VideoFormat& format) const {
    for (const auto& pin : pins_) {
        if (!IsEqualGUID(pin->category(), PIN_CATEGORY_PREVIEW)) continue;
        const HRESULT accepted = pin->peer_accepts(format);
        if (FAILED(accepted)) return accepted;
    }
    return S_OK;
}

HRESULT CameraFilter::capture_format_changed(const VideoFormat& format) {
    for (auto& pin : pins_) {
        if (!IsEqualGUID(pin->category(), PIN_CATEGORY_PREVIEW)) continue;
        const HRESULT followed = pin->take_format(format, std::nullopt);
        if (FAILED(followed)) return followed;
    }
    return S_OK;
}

STDMETHODIMP CameraFilter::GetPages(CAUUID* pages) { return format_page_list(pages); }

// The graph's event sink, taken under the lock (the graph may be leaving),
// called without it (the graph may call back into the filter).
void CameraFilter::notify_graph(long code, LONG_PTR param1, LONG_PTR param2) {
    ComPtr<IMediaEventSink> sink;
    {
        std::lock_guard guard(lock());
        if (graph()) graph()->QueryInterface(IID_IMediaEventSink, sink.put_void());
    }
    if (sink) sink->Notify(code, param1, param2);
}

// As a USB camera's filter does when its device is pulled out: the filter
// stays, delivers nothing more, and tells the graph which filter lost its
// device.
void CameraFilter::device_gone() {
    gate_.close();
    gone_ = true;
    notify_graph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
}

void CameraFilter::device_back() {
    if (gone_) notify_graph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 1);
}

void CameraFilter::stream_failed(HRESULT error) {
    gate_.close();
    notify_graph(EC_ERRORABORT, static_cast<LONG_PTR>(error), 0);
}

}  // namespace vlxcam
