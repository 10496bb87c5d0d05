#include "comkit/filter_base.h"

#include "comkit/enumerators.h"

#include <cstring>
#include <cwchar>

namespace vlxcom {

// ---- Filter -------------------------------------------------------------

STDMETHODIMP Filter::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IBaseFilter))
        return hand_out<IBaseFilter>(this, out);
    return other_interface(iid, out);
}

STDMETHODIMP Filter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP Filter::Stop() {
    std::lock_guard guard(lock_);
    // Stopped first: samples arriving while on_stop waits are refused.
    const bool was_streaming = state_.exchange(State_Stopped) != State_Stopped;
    if (was_streaming) on_stop();
    return S_OK;
}

HRESULT Filter::leave_stopped() {
    if (state_ != State_Stopped) return S_OK;
    return on_start();
}

STDMETHODIMP Filter::Pause() {
    std::lock_guard guard(lock_);
    const HRESULT started = leave_stopped();
    if (FAILED(started)) return started;
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP Filter::Run(REFERENCE_TIME) {
    std::lock_guard guard(lock_);
    const HRESULT started = leave_stopped();
    if (FAILED(started)) return started;
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP Filter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    std::lock_guard guard(lock_);
    *state = state_;
    return S_OK;
}

STDMETHODIMP Filter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard guard(lock_);
    clock_ = ComPtr<IReferenceClock>::share(clock);
    return S_OK;
}

STDMETHODIMP Filter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard guard(lock_);
    clock_.copy_to(clock);
    return S_OK;
}

STDMETHODIMP Filter::EnumPins(IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = nullptr;  // also when listing the pins throws
    return com_guard([&] { return create_pin_enumerator(this, pins(), out); });
}

STDMETHODIMP Filter::FindPin(LPCWSTR id, IPin** out) {
    if (!id || !out) return E_POINTER;
    *out = nullptr;
    return com_guard([&] { return find_pin(id, out); });
}

HRESULT Filter::find_pin(LPCWSTR id, IPin** out) {
    for (IPin* pin : pins()) {
        PIN_INFO info{};
        if (FAILED(pin->QueryPinInfo(&info))) continue;
        if (info.pFilter) info.pFilter->Release();
        if (std::wcscmp(info.achName, id) == 0) {
            pin->AddRef();
            *out = pin;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP Filter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    std::lock_guard guard(lock_);
    std::wcsncpy(info->achName, name_, MAX_FILTER_NAME);
    info->achName[MAX_FILTER_NAME - 1] = L'\0';
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP Filter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    std::lock_guard guard(lock_);
    graph_ = graph;
    name_[0] = L'\0';
    if (graph && name) {
        std::wcsncpy(name_, name, MAX_FILTER_NAME);
        name_[MAX_FILTER_NAME - 1] = L'\0';
    }
    return S_OK;
}

STDMETHODIMP Filter::QueryVendorInfo(LPWSTR* info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

// ---- PinBase ------------------------------------------------------------

STDMETHODIMP PinBase::Disconnect() {
    std::lock_guard guard(filter_.lock());
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!peer_) return S_FALSE;
    drop_connection();
    return S_OK;
}

STDMETHODIMP PinBase::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    *pin = nullptr;
    if (!peer_) return VFW_E_NOT_CONNECTED;
    peer_.copy_to(pin);
    return S_OK;
}

STDMETHODIMP PinBase::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    *type = AM_MEDIA_TYPE{};
    if (!peer_) return VFW_E_NOT_CONNECTED;
    return vlx::copy_media_type(*type, *type_.get());
}

STDMETHODIMP PinBase::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = &filter_;
    filter_.AddRef();
    info->dir = direction_;
    std::wcsncpy(info->achName, name_, MAX_PIN_NAME);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
    return S_OK;
}

STDMETHODIMP PinBase::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = direction_;
    return S_OK;
}

STDMETHODIMP PinBase::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    const size_t bytes = (std::wcslen(name_) + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, name_, bytes);
    return S_OK;
}

// ---- InputPin -----------------------------------------------------------

STDMETHODIMP InputPin::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) return hand_out<IPin>(this, out);
    if (IsEqualIID(iid, IID_IMemInputPin)) return hand_out<IMemInputPin>(this, out);
    return other_interface(iid, out);
}

STDMETHODIMP InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!accepts(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (FAILED(vlx::copy_media_type(*type_.reset(), *type))) return E_OUTOFMEMORY;
    peer_ = ComPtr<IPin>::share(connector);
    return S_OK;
}

STDMETHODIMP InputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return accepts(*type) ? S_OK : S_FALSE;
}

STDMETHODIMP InputPin::EnumMediaTypes(IEnumMediaTypes** types) { return create_media_type_enumerator({}, types); }

STDMETHODIMP InputPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator) return E_POINTER;
    *allocator = nullptr;
    return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL) { return allocator ? S_OK : E_POINTER; }

STDMETHODIMP InputPin::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    std::lock_guard guard(streaming_);
    if (filter_.state() == State_Stopped) return VFW_E_WRONG_STATE;
    return com_guard([&] { return receive(sample); });
}

STDMETHODIMP InputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (!samples || !processed) return E_POINTER;
    HRESULT hr = S_OK;
    for (*processed = 0; *processed < count; ++*processed) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
    }
    return hr;
}

}  // namespace vlxcom
