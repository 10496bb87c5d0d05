#include "unit/stand_ins.h"

#include "comkit/filter_base.h"

namespace vlx_test {

namespace {

// {85B89458-46E6-46D0-B14A-F019AC188434}, this test program's own class.
constexpr CLSID kStandInCompressorClsid = {
    0x85b89458, 0x46e6, 0x46d0, {0xb1, 0x4a, 0xf0, 0x19, 0xac, 0x18, 0x84, 0x34}};

using vlxcom::hand_out;

// A filter that a graph can hold: it joins and leaves under a name and has
// no pins. The stand-ins add their interfaces through other_interface.
class PinlessFilter : public vlxcom::Filter {
protected:
    PinlessFilter() : Filter(kStandInCompressorClsid) {}
    std::vector<IPin*> pins() override { return {}; }
};

// IUnknown of a stand-in: the filter's, whichever interface it is asked through.
#define VLX_FORWARD_IUNKNOWN                                                                          \
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {                                 \
        return Filter::QueryInterface(iid, object);                                                   \
    }                                                                                                 \
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }                               \
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

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

class Vmr7StandIn final : public PinlessFilter, public IVMRMixerBitmap, public IVMRDeinterlaceControl {
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
    HRESULT other_interface(REFIID iid, void** out) override {
        calls_.asked.push_back(iid);
        if (IsEqualIID(iid, IID_IVMRMixerBitmap)) return hand_out<IVMRMixerBitmap>(this, out);
        if (IsEqualIID(iid, IID_IVMRDeinterlaceControl)) return hand_out<IVMRDeinterlaceControl>(this, out);
        return Filter::other_interface(iid, out);
    }
    RendererCalls& calls_;
};

class Vmr9StandIn final : public PinlessFilter, public IVMRDeinterlaceControl9 {
public:
    explicit Vmr9StandIn(RendererCalls& calls) : calls_(calls) {}
    VLX_FORWARD_IUNKNOWN
    STDMETHODIMP GetNumberOfDeinterlaceModes(VMR9VideoDesc*, DWORD*, GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDeinterlaceModeCaps(GUID*, VMR9VideoDesc*, VMR9DeinterlaceCaps*) override { return E_NOTIMPL; }
    VLX_DEINTERLACE_SETTERS

private:
    HRESULT other_interface(REFIID iid, void** out) override {
        calls_.asked.push_back(iid);
        if (IsEqualIID(iid, IID_IVMRDeinterlaceControl9)) return hand_out<IVMRDeinterlaceControl9>(this, out);
        return Filter::other_interface(iid, out);
    }
    RendererCalls& calls_;
};

class Compressor final : public PinlessFilter, public IAMVfwCompressDialogs {
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
    using Filter::GetState;

private:
    HRESULT other_interface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IAMVfwCompressDialogs)) return hand_out<IAMVfwCompressDialogs>(this, out);
        return Filter::other_interface(iid, out);
    }
    std::vector<DialogCall>& dialogs_;
    HRESULT& answer_;
};

template <class StandIn>
ComPtr<IBaseFilter> make_filter(RendererCalls& calls) {
    return ComPtr<IBaseFilter>::adopt(new StandIn(calls));
}

}  // namespace

ComPtr<IBaseFilter> make_vmr7_stand_in(RendererCalls& calls) { return make_filter<Vmr7StandIn>(calls); }
ComPtr<IBaseFilter> make_vmr9_stand_in(RendererCalls& calls) { return make_filter<Vmr9StandIn>(calls); }

class StandInCompressor::Factory final : public vlxcom::ComObject<IClassFactory> {
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
