#include "format_page.h"

#include "com_ptr.h"
#include "comkit/com_base.h"

#include <dshow.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace vlxcam {

namespace {

constexpr wchar_t kTitle[] = L"Format";

// The IAMStreamConfig of `object`: itself, or the first pin of a filter.
ComPtr<IAMStreamConfig> stream_config_of(IUnknown* object) {
    ComPtr<IAMStreamConfig> config;
    if (SUCCEEDED(object->QueryInterface(IID_IAMStreamConfig, config.put_void()))) return config;
    ComPtr<IBaseFilter> filter;
    ComPtr<IEnumPins> pins;
    if (FAILED(object->QueryInterface(IID_IBaseFilter, filter.put_void())) || FAILED(filter->EnumPins(pins.put())))
        return {};
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        if (SUCCEEDED(pin->QueryInterface(IID_IAMStreamConfig, config.put_void()))) return config;
    }
    return {};
}

class FormatPage final : public vlxcom::ComObject<IPropertyPage> {
public:
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
        site_ = ComPtr<IPropertyPageSite>::share(site);
        return S_OK;
    }
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) override {
        if (!rect) return E_POINTER;
        window_ = CreateWindowExW(0, L"STATIC", text_, WS_CHILD | SS_LEFT, rect->left, rect->top,
                                  rect->right - rect->left, rect->bottom - rect->top, parent, nullptr,
                                  vlxcom::this_module(), nullptr);
        return window_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP Deactivate() override {
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
        if (!info) return E_POINTER;
        std::memset(info, 0, sizeof *info);
        info->cb = sizeof *info;
        info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kTitle));
        if (!info->pszTitle) return E_OUTOFMEMORY;
        std::memcpy(info->pszTitle, kTitle, sizeof kTitle);
        info->size = {240, 60};
        return S_OK;
    }
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
        StringCchPrintfW(text_, std::size(text_), L"No format");
        for (ULONG i = 0; objects && i < count; ++i) {
            if (!objects[i]) continue;
            ComPtr<IAMStreamConfig> config = stream_config_of(objects[i]);
            vlx::MediaTypePtr type;
            if (!config || FAILED(config->GetFormat(type.put())) || !type) continue;
            if (IsEqualGUID(type->formattype, FORMAT_VideoInfo) && type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
                const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
                const double fps = vih->AvgTimePerFrame ? 1e7 / static_cast<double>(vih->AvgTimePerFrame) : 0.0;
                wchar_t pixels[6] = L"RGB24";  // or the FourCC of a webcam format
                if (const DWORD fourcc = vih->bmiHeader.biCompression; fourcc != BI_RGB) {
                    for (int i = 0; i < 4; ++i) pixels[i] = static_cast<wchar_t>((fourcc >> (8 * i)) & 0xff);
                    pixels[4] = L'\0';
                }
                StringCchPrintfW(text_, std::size(text_), L"%ls %ld x %ld, %.2f frames per second", pixels,
                                 vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, fps);
            }
            break;
        }
        if (window_) SetWindowTextW(window_, text_);
        return S_OK;
    }
    STDMETHODIMP Show(UINT show) override {
        if (window_) ShowWindow(window_, static_cast<int>(show));
        return S_OK;
    }
    STDMETHODIMP Move(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        if (window_) MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP IsPageDirty() override { return S_FALSE; }
    STDMETHODIMP Apply() override { return S_OK; }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

    ~FormatPage() override { Deactivate(); }

private:
    ComPtr<IPropertyPageSite> site_;
    HWND window_ = nullptr;
    wchar_t text_[128] = L"No format";
};

}  // namespace

HRESULT create_format_page(REFIID iid, void** object) { return vlxcom::create_object<FormatPage>(iid, object); }

}  // namespace vlxcam
