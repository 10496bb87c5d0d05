#include "unit/stand_ins.h"

#include <new>

namespace vlx_test {

namespace {

// {85B89458-46E6-46D0-B14A-F019AC188434}, this test program's own class.
constexpr CLSID kStandInCompressorClsid = {
    0x85b89458, 0x46e6, 0x46d0, {0xb1, 0x4a, 0xf0, 0x19, 0xac, 0x18, 0x84, 0x34}};

// The IUnknown of an object with one interface.
template <class Interface, const IID& kIid>
class SingleInterface : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIid) ? this : nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }

protected:
    virtual ~SingleInterface() = default;

private:
    std::atomic<ULONG> refs_{1};
};

class NoPins final : public SingleInterface<IEnumPins, IID_IEnumPins> {
public:
    STDMETHODIMP Next(ULONG, IPin**, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        return S_FALSE;
    }
    STDMETHODIMP Skip(ULONG) override { return S_FALSE; }
    STDMETHODIMP Reset() override { return S_OK; }
    STDMETHODIMP Clone(IEnumPins** clone) override {
        *clone = new (std::nothrow) NoPins;
        return *clone ? S_OK : E_OUTOFMEMORY;
    }
};

#define VLX_FORWARD_IUNKNOWN                                                                          \
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {                                 \
        return StubFilter::QueryInterface(iid, object);                                               \
    }                                                                                                 \
    STDMETHODIMP_(ULONG) AddRef() override { return StubFilter::AddRef(); }                           \
    STDMETHODIMP_(ULONG) Release() override { return StubFilter::Release(); }

// The deinterlace methods both renderers share; the mode queries are not
// needed by the library.
#define VLX_DEINTERLACE_SETTERS                                                                       \
    STDMETHODIMP GetDeinterlaceMode(DWORD, LPGUID) override { return E_NOTIMPL; }                     \
    STDMETHODIMP SetDeinterlaceMode(DWORD stream, LPGUID mode) override {                             \
        calls_.mode = std::make_pair(stream, mode ? *mode : GUID{});                                  \
        return calls_.answer;                                                                         \
    }                                                                                                 \
    STDMETHODIMP GetDeinterlacePrefs(LPDWORD) override { return E_NOTIMPL; }                          \
    STDMETHODIMP SetDeinterlacePrefs(DWORD prefs) override {                                          \
        calls_.prefs = prefs;                                                                         \
        return calls_.answer;                                                                         \
    }                                                                                                 \
    STDMETHODIMP GetActualDeinterlaceMode(DWORD, LPGUID) override { return E_NOTIMPL; }

class Vmr7StandIn final : public StubFilter, public IVMRMixerBitmap, public IVMRDeinterlaceControl {
public:
    explicit Vmr7StandIn(RendererCalls& calls) : calls_(calls) {}
    VLX_FORWARD_IUNKNOWN
    STDMETHODIMP SetAlphaBitmap(const VMRALPHABITMAP* bitmap) override {
        calls_.bitmap = *bitmap;
        return calls_.answer;
    }
    STDMETHODIMP UpdateAlphaBitmapParameters(PVMRALPHABITMAP) override { return E_NOTIMPL; }
    STDMETHODIMP GetAlphaBitmapParameters(PVMRALPHABITMAP) override { return E_NOTIMPL; }
    STDMETHODIMP GetNumberOfDeinterlaceModes(VMRVideoDesc*, LPDWORD, LPGUID) override { return E_NOTIMPL; }
    STDMETHODIMP GetDeinterlaceModeCaps(LPGUID, VMRVideoDesc*, VMRDeinterlaceCaps*) override { return E_NOTIMPL; }
    VLX_DEINTERLACE_SETTERS

private:
    void* other_interface(REFIID iid) override {
        calls_.asked.push_back(iid);
        if (IsEqualIID(iid, IID_IVMRMixerBitmap)) return static_cast<IVMRMixerBitmap*>(this);
        if (IsEqualIID(iid, IID_IVMRDeinterlaceControl)) return static_cast<IVMRDeinterlaceControl*>(this);
        return nullptr;
    }
    RendererCalls& calls_;
};

class Vmr9StandIn final : public StubFilter, public IVMRDeinterlaceControl9 {
public:
    explicit Vmr9StandIn(RendererCalls& calls) : calls_(calls) {}
    VLX_FORWARD_IUNKNOWN
    STDMETHODIMP GetNumberOfDeinterlaceModes(VMR9VideoDesc*, DWORD*, GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDeinterlaceModeCaps(GUID*, VMR9VideoDesc*, VMR9DeinterlaceCaps*) override { return E_NOTIMPL; }
    VLX_DEINTERLACE_SETTERS

private:
    void* other_interface(REFIID iid) override {
        calls_.asked.push_back(iid);
        return IsEqualIID(iid, IID_IVMRDeinterlaceControl9) ? static_cast<IVMRDeinterlaceControl9*>(this) : nullptr;
    }
    RendererCalls& calls_;
};

class Compressor final : public StubFilter, public IAMVfwCompressDialogs {
public:
    Compressor(std::vector<DialogCall>& dialogs, HRESULT& answer) : dialogs_(dialogs), answer_(answer) {}
    VLX_FORWARD_IUNKNOWN
    STDMETHODIMP ShowDialog(int dialog, HWND owner) override {
        dialogs_.push_back({static_cast<IAMVfwCompressDialogs*>(this), dialog, owner});
        return answer_;
    }
    STDMETHODIMP GetState(LPVOID, int*) override { return E_NOTIMPL; }
    STDMETHODIMP SetState(LPVOID, int) override { return E_NOTIMPL; }
    STDMETHODIMP SendDriverMessage(int, LONG, LONG) override { return E_NOTIMPL; }
    using StubFilter::GetState;

private:
    void* other_interface(REFIID iid) override {
        return IsEqualIID(iid, IID_IAMVfwCompressDialogs) ? static_cast<IAMVfwCompressDialogs*>(this) : nullptr;
    }
    std::vector<DialogCall>& dialogs_;
    HRESULT& answer_;
};

template <class StandIn>
ComPtr<IBaseFilter> make_filter(RendererCalls& calls) {
    return ComPtr<IBaseFilter>::adopt(new StandIn(calls));
}

}  // namespace

STDMETHODIMP StubFilter::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IBaseFilter)) {
        *object = static_cast<IBaseFilter*>(this);
    } else {
        *object = other_interface(iid);
    }
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) StubFilter::Release() {
    const ULONG left = --refs_;
    if (!left) delete this;
    return left;
}

STDMETHODIMP StubFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kStandInCompressorClsid;
    return S_OK;
}

STDMETHODIMP StubFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    *state = State_Stopped;
    return S_OK;
}

STDMETHODIMP StubFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    *clock = nullptr;
    return S_OK;
}

STDMETHODIMP StubFilter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    *pins = new (std::nothrow) NoPins;
    return *pins ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP StubFilter::FindPin(LPCWSTR, IPin** pin) {
    if (!pin) return E_POINTER;
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP StubFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP StubFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    graph_ = graph;
    name_ = name ? name : L"";
    return S_OK;
}

ComPtr<IBaseFilter> make_vmr7_stand_in(RendererCalls& calls) { return make_filter<Vmr7StandIn>(calls); }
ComPtr<IBaseFilter> make_vmr9_stand_in(RendererCalls& calls) { return make_filter<Vmr9StandIn>(calls); }

class StandInCompressor::Factory final : public SingleInterface<IClassFactory, IID_IClassFactory> {
public:
    explicit Factory(StandInCompressor& owner) : owner_(owner) {}
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* compressor = new (std::nothrow) Compressor(owner_.dialogs_, owner_.answer_);
        if (!compressor) return E_OUTOFMEMORY;
        ++owner_.instances_;
        const HRESULT status = compressor->QueryInterface(iid, object);
        compressor->Release();
        return status;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    StandInCompressor& owner_;
};

StandInCompressor::StandInCompressor(const wchar_t* name) : name_(name), factory_(new Factory(*this)) {
    if (FAILED(CoRegisterClassObject(kStandInCompressorClsid, factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                     &cookie_)))
        return;
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.put_void())))
        return;
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;
    listed_ = SUCCEEDED(mapper->RegisterFilter(kStandInCompressorClsid, name_.c_str(), nullptr,
                                               &CLSID_VideoCompressorCategory, name_.c_str(), &filter));
}

StandInCompressor::~StandInCompressor() {
    ComPtr<IFilterMapper2> mapper;
    if (listed_ && SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IFilterMapper2, mapper.put_void())))
        mapper->UnregisterFilter(&CLSID_VideoCompressorCategory, name_.c_str(), kStandInCompressorClsid);
    if (cookie_) CoRevokeClassObject(cookie_);
    factory_->Release();
}

}  // namespace vlx_test
