#include "unit/image_encoder_stand_in.h"

#include "comkit/com_base.h"
#include "common/com_ptr.h"
#include "frames/image_encoder_factory.h"

namespace vlx_test {

namespace {

std::vector<EncoderUse> g_uses;

class RecordingBag final : public vlxcom::ComObject<IPropertyBag2> {
public:
    RecordingBag(vlx::ComPtr<IPropertyBag2> inner, size_t use) : inner_(std::move(inner)), use_(use) {}

    STDMETHODIMP Write(ULONG count, PROPBAG2* records, VARIANT* values) override {
        for (ULONG i = 0; i < count; ++i) {
            g_uses[use_].options.push_back({records[i].pstrName ? records[i].pstrName : L"", values[i].vt,
                                            values[i].vt == VT_R4 ? values[i].fltVal : 0.0f,
                                            values[i].vt == VT_BOOL ? values[i].boolVal : VARIANT_BOOL{0},
                                            records[i].dwType, records[i].vt});
        }
        // A stand-in's own options would not know these names.
        if (g_uses[use_].stood_in || !inner_) return S_OK;
        return inner_->Write(count, records, values);
    }
    STDMETHODIMP Read(ULONG count, PROPBAG2* records, IErrorLog* log, VARIANT* values, HRESULT* results) override {
        return inner_ ? inner_->Read(count, records, log, values, results) : E_FAIL;
    }
    STDMETHODIMP CountProperties(ULONG* count) override {
        return inner_ ? inner_->CountProperties(count) : E_FAIL;
    }
    STDMETHODIMP GetPropertyInfo(ULONG first, ULONG count, PROPBAG2* records, ULONG* got) override {
        return inner_ ? inner_->GetPropertyInfo(first, count, records, got) : E_FAIL;
    }
    STDMETHODIMP LoadObject(LPCOLESTR name, DWORD hint, IUnknown* object, IErrorLog* log) override {
        return inner_ ? inner_->LoadObject(name, hint, object, log) : E_FAIL;
    }

private:
    vlx::ComPtr<IPropertyBag2> inner_;
    size_t use_;
};

// Forwards everything to a real encoder; only the frame's option bag is
// put behind a recording one.
class RecordingEncoder final : public vlxcom::ComObject<IWICBitmapEncoder> {
public:
    RecordingEncoder(vlx::ComPtr<IWICBitmapEncoder> inner, size_t use) : inner_(std::move(inner)), use_(use) {}

    STDMETHODIMP CreateNewFrame(IWICBitmapFrameEncode** frame, IPropertyBag2** options) override {
        vlx::ComPtr<IPropertyBag2> inner_options;
        const HRESULT hr = inner_->CreateNewFrame(frame, inner_options.put());
        if (SUCCEEDED(hr) && options) *options = new RecordingBag(std::move(inner_options), use_);
        return hr;
    }
    STDMETHODIMP Initialize(IStream* stream, WICBitmapEncoderCacheOption cache) override {
        return inner_->Initialize(stream, cache);
    }
    STDMETHODIMP GetContainerFormat(GUID* format) override { return inner_->GetContainerFormat(format); }
    STDMETHODIMP GetEncoderInfo(IWICBitmapEncoderInfo** info) override { return inner_->GetEncoderInfo(info); }
    STDMETHODIMP SetColorContexts(UINT count, IWICColorContext** contexts) override {
        return inner_->SetColorContexts(count, contexts);
    }
    STDMETHODIMP SetPalette(IWICPalette* palette) override { return inner_->SetPalette(palette); }
    STDMETHODIMP SetThumbnail(IWICBitmapSource* thumbnail) override { return inner_->SetThumbnail(thumbnail); }
    STDMETHODIMP SetPreview(IWICBitmapSource* preview) override { return inner_->SetPreview(preview); }
    STDMETHODIMP Commit() override { return inner_->Commit(); }
    STDMETHODIMP GetMetadataQueryWriter(IWICMetadataQueryWriter** writer) override {
        return inner_->GetMetadataQueryWriter(writer);
    }

private:
    vlx::ComPtr<IWICBitmapEncoder> inner_;
    size_t use_;
};

HRESULT create_recording_encoder(IWICImagingFactory* factory, const GUID& container, IWICBitmapEncoder** encoder) {
    vlx::ComPtr<IWICBitmapEncoder> inner;
    HRESULT hr = factory->CreateEncoder(container, nullptr, inner.put());
    const bool stood_in = hr == WINCODEC_ERR_COMPONENTNOTFOUND;
    if (stood_in) hr = factory->CreateEncoder(GUID_ContainerFormatBmp, nullptr, inner.put());
    if (FAILED(hr)) return hr;
    g_uses.push_back({container, stood_in, {}});
    *encoder = new RecordingEncoder(std::move(inner), g_uses.size() - 1);
    return S_OK;
}

}  // namespace

ImageEncoderStandIns::ImageEncoderStandIns() {
    g_uses.clear();
    vlx::replace_image_encoder_factory(create_recording_encoder);
}

ImageEncoderStandIns::~ImageEncoderStandIns() { vlx::replace_image_encoder_factory(nullptr); }

const std::vector<EncoderUse>& ImageEncoderStandIns::uses() const { return g_uses; }

}  // namespace vlx_test
