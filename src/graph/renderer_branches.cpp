#include "graph/renderer_branches.h"

#include "common/string_argument.h"
#include "common/variant.h"
#include "library/platform_call.h"

#include <cwchar>

namespace vlx {

namespace {

bool is_ok(HRESULT status) { return status == S_OK; }

// The preview branches of modes 0, 1, 2 and 6 fail on any failure code:
// VFW_E_CANNOT_CONNECT (a camera format nothing decodes to RGB24) leaves a
// graph that runs but never delivers a frame. Success codes such as
// VFW_S_NOPREVIEWPIN keep whatever connections the builder made.
bool preview_render_failed(HRESULT status) { return FAILED(status); }

bool renderer_added(HRESULT status) { return status == S_OK || status == VFW_S_DUPLICATE_NAME; }

bool avi_preview_rendered(HRESULT status) { return status == S_OK || status == VFW_S_NOPREVIEWPIN; }

HRESULT create_filter(const char* context, const CLSID& clsid, ComPtr<IBaseFilter>& filter) {
    return reported_call(context, [&] {
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void());
    });
}

HRESULT render_preview(Slot& slot, const char* context, const GUID* media_type, IBaseFilter* renderer) {
    return reported_call(context, [&] {
        return slot.capture_builder->RenderStream(&PIN_CATEGORY_PREVIEW, media_type, slot.device_filter.get(),
                                                  slot.grabber_filter.get(), renderer);
    });
}

// A reported step of a branch and the code vlx_Open returns when it fails.
struct BranchStep {
    const char* context;
    int32_t code;
};

struct SimpleRenderer {
    const CLSID& clsid;
    const wchar_t* name;
    BranchStep create, add, render;
};

// Video Renderer (mode 0) and Null Renderer (mode 6) on the preview pin.
int32_t build_simple_renderer(Slot& slot, const SimpleRenderer& r) {
    if (!is_ok(create_filter(r.create.context, r.clsid, slot.renderer_filter))) return r.create.code;
    if (!renderer_added(reported_call(r.add.context, [&] {
            return slot.graph_builder->AddFilter(slot.renderer_filter.get(), r.name);
        })))
        return r.add.code;
    if (preview_render_failed(render_preview(slot, r.render.context, nullptr, slot.renderer_filter.get())))
        return r.render.code;
    return 0;
}

struct MixingRenderer {
    const CLSID& clsid;
    const wchar_t* name;
    BranchStep create, query, mode, streams, add, render;
};

// VMR7 and VMR9: the same sequence on their own configuration interfaces.
template <class Config>
int32_t build_mixing_renderer(Slot& slot, ComPtr<IBaseFilter>& vmr, const MixingRenderer& r, intptr_t mode_param1,
                              intptr_t mode_param2) {
    if (!is_ok(create_filter(r.create.context, r.clsid, vmr))) return r.create.code;
    {
        // The configuration interface lives only for these two calls.
        ComPtr<Config> config;
        if (!is_ok(reported_call(r.query.context, [&] { return vmr.query(config); }))) return r.query.code;
        const auto rendering_mode = static_cast<DWORD>(static_cast<uint32_t>(mode_param1));
        const auto streams = static_cast<DWORD>(static_cast<uint32_t>(mode_param2));
        if (!is_ok(reported_call(r.mode.context, [&] { return config->SetRenderingMode(rendering_mode); })))
            return r.mode.code;
        if (!is_ok(reported_call(r.streams.context, [&] { return config->SetNumberOfStreams(streams); })))
            return r.streams.code;
    }
    if (!renderer_added(reported_call(r.add.context, [&] { return slot.graph_builder->AddFilter(vmr.get(), r.name); })))
        return r.add.code;
    if (preview_render_failed(render_preview(slot, r.render.context, nullptr, vmr.get()))) return r.render.code;
    return 0;
}

// The compressor whose friendly name equals `wanted` exactly, added to the
// graph under that name: 0, -47, -48 or -49.
int32_t add_compressor(Slot& slot, const wchar_t* wanted) {
    ComPtr<ICreateDevEnum> device_enum;
    if (!is_ok(reported_call("vlx_Open->CoCreateInstance(AVI)", [&] {
            return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC, IID_ICreateDevEnum,
                                    device_enum.put_void());
        })))
        return -47;
    ComPtr<IEnumMoniker> monikers;
    const HRESULT enumerated = reported_call("vlx_Open->DevEnum->CreateClassEnumerator(AVI)", [&] {
        return device_enum->CreateClassEnumerator(CLSID_VideoCompressorCategory, monikers.put(), 0);
    });
    if (enumerated != S_OK || !monikers) return -48;

    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        if (!moniker) continue;
        ComPtr<IPropertyBag> bag;
        platform_call("vlx_Open.Moniker.BindToStorage(AVI)", [&] {
            return moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void());
        });
        if (!bag) continue;  // no bag, no name: not a match
        ScopedVariant name;
        reported_call("vlx_Open->PropertyBag->Read(AVI)", [&] { return bag->Read(L"FriendlyName", name.get(), nullptr); });
        // A resource number in place of the name matches no friendly name.
        if (!name.bstr() || is_resource_number(wanted) || std::wcscmp(name.bstr(), wanted) != 0) continue;

        platform_call("vlx_Open.Moniker.BindToObject(AVI compressor)", [&] {
            return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, slot.avi_compressor.put_void());
        });
        // The dialogs must configure the very compressor that goes into the
        // graph: a second BindToObject would create a second instance that
        // never writes a frame.
        if (slot.avi_compressor) {
            platform_call("vlx_Open.AviCompressor.QueryInterface(AMVfwCompressDialogs)", [&] {
                return slot.avi_compressor->QueryInterface(IID_IAMVfwCompressDialogs, slot.compress_dialogs.put_void());
            });
        }
        reported_call("vlx_Open->GraphBuilder->AddFilter(AVI)",
                      [&] { return slot.graph_builder->AddFilter(slot.avi_compressor.get(), wanted); });
        return 0;
    }
    return -49;
}

// The capture pin written to an AVI file, through a compressor when one is
// named: 0 or the failing step's code.
int32_t build_avi_branch(Slot& slot, const wchar_t* file_name, const wchar_t* compressor) {
    if (compressor) {
        if (const int32_t failed = add_compressor(slot, compressor)) return failed;
    }
    // A resource number names no file: refused at the step that would read
    // it, without the call.
    if (is_resource_number(file_name)) return compressor ? -50 : -45;
    if (!is_ok(reported_call("vlx_Open->CaptureGraphBuilder2->SetOutputFileName(AVI)", [&] {
            return slot.capture_builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file_name, slot.avi_mux.put(),
                                                           nullptr);
        })))
        return compressor ? -50 : -45;
    if (!is_ok(reported_call("vlx_Open->CaptureGraphBuilder2->RenderStream(AVI)", [&] {
            return slot.capture_builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                                      slot.device_filter.get(), slot.avi_compressor.get(),
                                                      slot.avi_mux.get());
        })))
        return compressor ? -51 : -46;
    return 0;
}

int32_t build_avi_with_null_renderer(Slot& slot) {
    if (!is_ok(create_filter("vlx_Open->CoCreateInstance(NullRenderer)", kClsidNullRenderer, slot.renderer_filter)))
        return -52;
    if (!is_ok(reported_call("vlx_Open->GraphBuilder->AddFilter(NullRenderer)", [&] {
            return slot.graph_builder->AddFilter(slot.renderer_filter.get(), L"Null Renderer");
        })))
        return -53;
    if (!avi_preview_rendered(render_preview(slot, "vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)",
                                             &MEDIATYPE_Video, slot.renderer_filter.get())))
        return -54;
    return 0;
}

}  // namespace

int32_t build_render_branch(Slot& slot, int32_t render_mode, intptr_t mode_param1, intptr_t mode_param2) {
    switch (render_mode) {
    case kVideoRenderer:
        return build_simple_renderer(
            slot, {.clsid = CLSID_VideoRenderer,
                   .name = L"Video Renderer",
                   .create = {"vlx_Open->CoCreateInstance(VideoRenderer)", -39},
                   .add = {"vlx_Open->GraphBuilder->AddFilter(VideoRenderer)", -79},
                   .render = {"vlx_Open->CaptureGraphBuilder2->RenderStream(VideoRenderer)", -76}});
    case kVmr7:
        return build_mixing_renderer<IVMRFilterConfig>(
            slot, slot.vmr7_filter,
            {.clsid = CLSID_VideoMixingRenderer,
             .name = L"VMR7",
             .create = {"vlx_Open->CoCreateInstance(VMR7)", -40},
             .query = {"vlx_Open->VMR7->QueryInterface(VMRFilterConfig)", -41},
             .mode = {"vlx_Open->VMRFilterConfig->SetRenderingMode(VMR7)", -87},
             .streams = {"vlx_Open->VMRFilterConfig->SetNumberOfStreams(VMR7)", -88},
             .add = {"vlx_Open->GraphBuilder->AddFilter(VMR7)", -89},
             .render = {"vlx_Open->CaptureGraphBuilder2->RenderStream(VMR7)", -86}},
            mode_param1, mode_param2);
    case kVmr9:
        return build_mixing_renderer<IVMRFilterConfig9>(
            slot, slot.vmr9_filter,
            {.clsid = CLSID_VideoMixingRenderer9,
             .name = L"VMR9",
             .create = {"vlx_Open->CoCreateInstance(VMR9)", -42},
             .query = {"vlx_Open->VMR9->QueryInterface(VMRFilterConfig9)", -43},
             .mode = {"vlx_Open->VMRFilterConfig9->SetRenderingMode(VMR9)", -97},
             .streams = {"vlx_Open->VMRFilterConfig9->SetNumberOfStreams(VMR9)", -98},
             .add = {"vlx_Open->GraphBuilder->AddFilter(VMR9)", -99},
             .render = {"vlx_Open->CaptureGraphBuilder2->RenderStream(VMR9)", -96}},
            mode_param1, mode_param2);
    case kNullRenderer:
        return build_simple_renderer(
            slot, {.clsid = kClsidNullRenderer,
                   .name = L"Null Renderer",
                   .create = {"vlx_Open->CoCreateInstance(NullRenderer)", -44},
                   .add = {"vlx_Open->GraphBuilder->AddFilter(NullRenderer)", -59},
                   .render = {"vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", -56}});
    case kAviWithNullRenderer:
    case kAviWithPreview: {
        const auto* file_name = reinterpret_cast<const wchar_t*>(mode_param1);
        const auto* compressor = reinterpret_cast<const wchar_t*>(mode_param2);
        if (const int32_t failed = build_avi_branch(slot, file_name, compressor)) return failed;
        if (render_mode == kAviWithNullRenderer) return build_avi_with_null_renderer(slot);
        if (!avi_preview_rendered(render_preview(slot, "vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)",
                                                 &MEDIATYPE_Video, nullptr)))
            return -55;
        return 0;
    }
    default:
        return 0;  // no renderer branch: device and grabber stay unconnected
    }
}

}  // namespace vlx
