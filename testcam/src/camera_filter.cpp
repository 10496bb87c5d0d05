#include "camera_filter.h"

#include "com_boundary.h"

#include <objbase.h>

#include <cwchar>

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

CameraFilter::CameraFilter(const DeviceProfile& profile) : profile_(profile) {
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
}

CameraFilter::~CameraFilter() {
    for (auto& pin : pins_) pin->on_stop();
}

STDMETHODIMP CameraFilter::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IBaseFilter)) {
        *object = static_cast<IBaseFilter*>(this);
    } else if (IsEqualIID(iid, IID_IAMFilterMiscFlags)) {
        *object = static_cast<IAMFilterMiscFlags*>(this);
    } else if (IsEqualIID(iid, IID_ISpecifyPropertyPages)) {
        *object = static_cast<ISpecifyPropertyPages*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CameraFilter::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) CameraFilter::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CameraFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = profile_.clsid;
    return S_OK;
}

STDMETHODIMP CameraFilter::Stop() {
    std::lock_guard guard(lock_);
    for (auto& pin : pins_) pin->on_stop();
    state_ = State_Stopped;
    return S_OK;
}

HRESULT CameraFilter::pause_locked() {
    if (state_ == State_Stopped) {
        for (auto& pin : pins_) {
            const HRESULT started = pin->on_pause_from_stopped();
            if (FAILED(started)) {
                for (auto& other : pins_) other->on_stop();
                return started;
            }
        }
    } else if (state_ == State_Running) {
        for (auto& pin : pins_) pin->on_pause_from_running();
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP CameraFilter::Pause() {
    std::lock_guard guard(lock_);
    return com_boundary([&] { return pause_locked(); });
}

STDMETHODIMP CameraFilter::Run(REFERENCE_TIME start) {
    std::lock_guard guard(lock_);
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
        const HRESULT paused = com_boundary([&] { return pause_locked(); });
        if (FAILED(paused)) return paused;
    }
    for (auto& pin : pins_) pin->on_run(start, clock_.get());
    state_ = State_Running;
    return S_OK;
}

HRESULT CameraFilter::capture_format_changed(const VideoFormat& format) {
    for (auto& pin : pins_) {
        if (!IsEqualGUID(pin->category(), PIN_CATEGORY_PREVIEW)) continue;
        const HRESULT followed = pin->apply_format(format, std::nullopt);
        if (FAILED(followed)) return followed;
    }
    return S_OK;
}

STDMETHODIMP CameraFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    std::lock_guard guard(lock_);
    *state = state_;
    // A live source has nothing to show while paused.
    return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP CameraFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard guard(lock_);
    clock_ = ComPtr<IReferenceClock>::share(clock);
    return S_OK;
}

STDMETHODIMP CameraFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard guard(lock_);
    clock_.copy_to(clock);
    return S_OK;
}

STDMETHODIMP CameraFilter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    *pins = nullptr;
    return com_boundary([&] {
        std::vector<IPin*> list;
        for (auto& pin : pins_) list.push_back(pin.get());
        return create_pin_enumerator(this, std::move(list), 0, pins);
    });
}

STDMETHODIMP CameraFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    for (auto& candidate : pins_) {
        if (std::wcscmp(candidate->name(), id) == 0) {
            *pin = candidate.get();
            candidate->AddRef();
            return S_OK;
        }
    }
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CameraFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    std::lock_guard guard(lock_);
    std::wcsncpy(info->achName, name_, MAX_FILTER_NAME);
    info->achName[MAX_FILTER_NAME - 1] = L'\0';
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP CameraFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    std::lock_guard guard(lock_);
    graph_ = graph;
    name_[0] = L'\0';
    if (graph && name) {
        std::wcsncpy(name_, name, MAX_FILTER_NAME);
        name_[MAX_FILTER_NAME - 1] = L'\0';
    }
    return S_OK;
}

STDMETHODIMP CameraFilter::QueryVendorInfo(LPWSTR* info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP_(ULONG) CameraFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

STDMETHODIMP CameraFilter::GetPages(CAUUID* pages) { return format_page_list(pages); }

}  // namespace vlxcam
