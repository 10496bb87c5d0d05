#include "graph/open_graph.h"

#include "formats/cap_config.h"
#include "formats/chosen_format.h"
#include "graph/graph_extension.h"
#include "graph/release_slot.h"
#include "graph/renderer_branches.h"
#include "graph/slot_observer.h"
#include "library/library_state.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

// A build step fails on any result other than S_OK (S_FALSE included).
template <class Call>
bool returned_ok(const char* context, Call&& call) {
    return reported_call(context, std::forward<Call>(call)) == S_OK;
}

// Filter Graph Manager, Sample Grabber with the RGB24 type, capture graph
// builder and media control: 0 or the failing step's code.
int32_t build_common(Slot& slot) {
    if (!returned_ok("vlx_Open->CoCreateInstance(FilterGraph)", [&] {
            return CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder,
                                    slot.graph_builder.put_void());
        }))
        return -30;
    if (!returned_ok("vlx_Open->CoCreateInstance(SampleGrabber)", [&] {
            return CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC, IID_IBaseFilter,
                                    slot.grabber_filter.put_void());
        }))
        return -31;
    if (!returned_ok("vlx_Open->SampleGrabberFilter->QueryInterface(ISampleGrabber)",
                   [&] { return slot.grabber_filter.query(slot.sample_grabber); }))
        return -32;
    // Only uncompressed 24-bit RGB reaches the grabber; every other member is zero.
    AM_MEDIA_TYPE rgb24{};
    rgb24.majortype = MEDIATYPE_Video;
    rgb24.subtype = MEDIASUBTYPE_RGB24;
    rgb24.formattype = FORMAT_VideoInfo;
    if (!returned_ok("vlx_Open->SampleGrabber->SetMediaType", [&] { return slot.sample_grabber->SetMediaType(&rgb24); }))
        return -33;
    if (!returned_ok("vlx_Open->GraphBuilder->AddFilter(SampleGrabber)",
                   [&] { return slot.graph_builder->AddFilter(slot.grabber_filter.get(), L"Sample Grabber"); }))
        return -34;
    if (!returned_ok("vlx_Open->CoCreateInstance(CaptureGraphBuilder2)", [&] {
            return CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC, IID_ICaptureGraphBuilder2,
                                    slot.capture_builder.put_void());
        }))
        return -35;
    if (!returned_ok("vlx_Open->CaptureGraphBuilder2->SetFiltergraph(GraphBuilder)",
                   [&] { return slot.capture_builder->SetFiltergraph(slot.graph_builder.get()); }))
        return -36;
    if (!returned_ok("vlx_Open->GraphBuilder->QueryInterface(MediaControl)",
                   [&] { return slot.graph_builder.query(slot.media_control); }))
        return -37;
    return 0;
}

// Binds device `device_index` of the video input category and adds it to the
// graph. The enumeration always runs to its end, counting every device.
int32_t add_device(Slot& slot, int32_t device_index) {
    ComPtr<ICreateDevEnum> device_enum;
    if (!returned_ok("vlx_Open->CoCreateInstance(SystemDeviceEnum)", [&] {
            return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                    device_enum.put_void());
        }))
        return -38;
    ComPtr<IEnumMoniker> monikers;
    reported_call("vlx_Open->CreateDevEnum->CreateClassEnumerator(VideoInputDeviceCategory)", [&] {
        return device_enum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
    });
    if (!monikers) return -3;
    reported_call("vlx_Open->EnumMoniker->Reset", [&] { return monikers->Reset(); });

    int32_t count = 0;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        if (count == device_index && moniker) {
            announce_device_bound(library().active_slot, moniker.get());
            // Both results only reported: each later step judges what the
            // graph then answers.
            reported_call("vlx_Open->Moniker->BindToObject", [&] {
                return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, slot.device_filter.put_void());
            });
            reported_call("vlx_Open->GraphBuilder->AddFilter(DeviceFilter)",
                          [&] { return slot.graph_builder->AddFilter(slot.device_filter.get(), L"Device Filter"); });
        }
        ++count;
    }
    return count == 0 || device_index >= count ? -4 : 0;
}

int32_t build_graph(Slot& slot, int32_t device_index, int32_t render_mode, intptr_t mode_param1,
                    intptr_t mode_param2) {
    if (const int32_t failed = build_common(slot)) return failed;
    if (const int32_t failed = add_device(slot, device_index)) return failed;

    int32_t success = 0;
    if (format_requested()) {
        success = apply_requested_format();
        if (success < 0) return open_code_for_format_failure(success);
    }

    slot.render_mode = render_mode;
    if (const int32_t failed = build_render_branch(slot, render_mode, mode_param1, mode_param2)) return failed;
    if (const int32_t failed = extend_graph(library().active_slot, slot, render_mode)) return failed;

    if (!returned_ok("vlx_Open->GraphBuilder->QueryInterface(VideoWindow)",
                   [&] { return slot.graph_builder.query(slot.video_window); }))
        return -58;
    return success;
}

}  // namespace

int32_t open_device(int32_t device_index, int32_t render_mode, int32_t reserved, intptr_t mode_param1,
                    intptr_t mode_param2) {
    if (!library_initialised()) return -1;
    Slot& slot = active_slot();
    if (slot.slot_state >= 1) return -2;
    if (device_index < 0 || reserved < 0) return -6;

    int32_t result = 0;
    try {
        result = build_graph(slot, device_index, render_mode, mode_param1, mode_param2);
    } catch (...) {
        release_slot();  // the export turns the exception into a code; the slot ends clean
        throw;
    }
    if (result < 0) {
        release_slot();
        return result;
    }
    slot.slot_state = kSlotOpen;
    announce_opened(library().active_slot, {render_mode, mode_param1, mode_param2});
    return result;
}

}  // namespace vlx
