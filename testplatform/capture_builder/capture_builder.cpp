#include "capture_builder.h"

#include "avi_mux.h"
#include "comkit/com_base.h"
#include "file_writer.h"

#include <dshow.h>

namespace vlxtp {

using namespace vlxcom;

namespace {

class CaptureBuilder final : public ComObject<ICaptureGraphBuilder2> {
public:
    explicit CaptureBuilder(ComPtr<ICaptureGraphBuilder2> wine) : wine_(std::move(wine)) {}

    STDMETHODIMP SetFiltergraph(IGraphBuilder* graph) override { return wine_->SetFiltergraph(graph); }
    STDMETHODIMP GetFiltergraph(IGraphBuilder** graph) override { return wine_->GetFiltergraph(graph); }
    STDMETHODIMP SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                                   IFileSinkFilter** sink) override;
    STDMETHODIMP FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                               void** out) override {
        return wine_->FindInterface(category, type, filter, iid, out);
    }
    STDMETHODIMP RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* intermediate,
                              IBaseFilter* sink) override {
        return wine_->RenderStream(category, type, source, intermediate, sink);
    }
    STDMETHODIMP ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter, REFERENCE_TIME* start,
                               REFERENCE_TIME* stop, WORD start_cookie, WORD stop_cookie) override {
        return wine_->ControlStream(category, type, filter, start, stop, start_cookie, stop_cookie);
    }
    STDMETHODIMP AllocCapFile(LPCOLESTR file, DWORDLONG size) override { return wine_->AllocCapFile(file, size); }
    STDMETHODIMP CopyCaptureFile(LPOLESTR old_file, LPOLESTR new_file, int allow_escape,
                                 IAMCopyCaptureFileProgress* callback) override {
        return wine_->CopyCaptureFile(old_file, new_file, allow_escape, callback);
    }
    STDMETHODIMP FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category, const GUID* type,
                         BOOL unconnected, int index, IPin** pin) override {
        return wine_->FindPin(source, direction, category, type, unconnected, index, pin);
    }

private:
    HRESULT build_avi_output(IGraphBuilder* graph, LPCOLESTR file, ComPtr<IBaseFilter>& mux,
                             ComPtr<IBaseFilter>& writer);

    ComPtr<ICaptureGraphBuilder2> wine_;
};

HRESULT CaptureBuilder::build_avi_output(IGraphBuilder* graph, LPCOLESTR file, ComPtr<IBaseFilter>& mux,
                                         ComPtr<IBaseFilter>& writer) {
    HRESULT hr = create_avi_mux(mux.put());
    if (SUCCEEDED(hr)) hr = create_file_writer(file, writer.put());
    if (SUCCEEDED(hr)) hr = graph->AddFilter(mux.get(), L"AVI Mux");
    if (FAILED(hr)) return hr;
    hr = graph->AddFilter(writer.get(), L"File Writer");
    ComPtr<IPin> mux_out, writer_in;
    if (SUCCEEDED(hr)) hr = FindPin(mux.get(), PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, mux_out.put());
    if (SUCCEEDED(hr)) hr = FindPin(writer.get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0, writer_in.put());
    if (SUCCEEDED(hr)) hr = graph->ConnectDirect(mux_out.get(), writer_in.get(), nullptr);
    if (FAILED(hr)) {
        graph->RemoveFilter(writer.get());  // not in the graph when AddFilter failed: answers VFW_E_NOT_FOUND
        graph->RemoveFilter(mux.get());
    }
    return hr;
}

STDMETHODIMP CaptureBuilder::SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux_out,
                                               IFileSinkFilter** sink_out) {
    if (!type || !file || !mux_out) return E_POINTER;
    *mux_out = nullptr;
    if (sink_out) *sink_out = nullptr;
    // Other containers stay Wine's answer.
    if (!IsEqualGUID(*type, MEDIASUBTYPE_Avi)) return wine_->SetOutputFileName(type, file, mux_out, sink_out);

    ComPtr<IGraphBuilder> graph;
    HRESULT hr = wine_->GetFiltergraph(graph.put());
    if (FAILED(hr)) return hr;
    ComPtr<IBaseFilter> mux, writer;
    hr = com_guard([&] { return build_avi_output(graph.get(), file, mux, writer); });
    if (FAILED(hr)) return hr;
    if (sink_out) writer->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(sink_out));
    *mux_out = mux.detach();
    return S_OK;
}

}  // namespace

HMODULE wine_qcap() {
    static HMODULE module = LoadLibraryW(L"qcap.dll");
    return module;
}

HRESULT create_capture_builder(REFCLSID, REFIID iid, void** out) {
    HMODULE qcap = wine_qcap();
    if (!qcap) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(qcap, "DllGetClassObject")));
    if (!get_class_object) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    ComPtr<IClassFactory> factory;
    HRESULT hr = get_class_object(CLSID_CaptureGraphBuilder2, IID_IClassFactory, factory.put_void());
    ComPtr<ICaptureGraphBuilder2> wine;
    if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_ICaptureGraphBuilder2, wine.put_void());
    if (FAILED(hr)) return hr;
    return create_object<CaptureBuilder>(iid, out, std::move(wine));
}

}  // namespace vlxtp
