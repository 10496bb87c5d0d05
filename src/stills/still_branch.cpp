#include "stills/still_branch.h"

#include "formats/capabilities.h"
#include "formats/capability_table.h"
#include "library/platform_call.h"
#include "stills/still_codes.h"
#include "stills/still_slots.h"

namespace vlx {

namespace {

bool is_ok(HRESULT status) { return status == S_OK; }

// The capability of the still pin at exactly that size that the grabber
// can take, offered to SetFormat.
int32_t set_still_format(IPin* pin, int32_t width, int32_t height, const StillBranchCalls& calls) {
    ComPtr<IAMStreamConfig> config;
    if (!is_ok(reported_call(calls.stream_config, [&] { return pin->QueryInterface(IID_IAMStreamConfig, config.put_void()); })))
        return kStillNoStreamConfig;
    const CapabilityCount caps = count_capabilities(config.get(), calls.count);
    if (caps.status != S_OK || caps.block_size != kCapsBlockSize) return kStillNoStreamConfig;
    const CapabilityTable table = read_capability_table(config.get(), caps.count, calls.stream_caps);
    for (size_t k = 0; k < table.descriptions.size(); ++k) {
        const FormatCapability& capability = table.descriptions[k];
        if (!capability.grabber_can_take || capability.width != width || capability.height != height) continue;
        AM_MEDIA_TYPE* type = table.types[k].get();
        return FAILED(reported_call(calls.set_format, [&] { return config->SetFormat(type); })) ? kStillFormatRefused
                                                                                                : kStillSizeSet;
    }
    return kStillNoSuchSize;
}

// The grabber and the renderer joined to the still pin; on a failure the
// filters added so far leave the graph again.
int32_t add_branch(Slot& slot, StillSlot& still, const StillBranchCalls& calls) {
    ComPtr<IBaseFilter> grabber_filter, renderer;
    ComPtr<ISampleGrabber> grabber;
    const auto leave = [&](int32_t code) {
        // Unreported: the graph gives back what it was given.
        if (grabber_filter) slot.graph_builder->RemoveFilter(grabber_filter.get());
        if (renderer) slot.graph_builder->RemoveFilter(renderer.get());
        return code;
    };
    if (!is_ok(reported_call(calls.create_grabber, [&] {
            return CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC, IID_IBaseFilter,
                                    grabber_filter.put_void());
        })))
        return kStillNoGrabber;
    AM_MEDIA_TYPE rgb24{};
    rgb24.majortype = MEDIATYPE_Video;
    rgb24.subtype = MEDIASUBTYPE_RGB24;
    rgb24.formattype = FORMAT_VideoInfo;
    if (!is_ok(reported_call(calls.query_grabber, [&] { return grabber_filter.query(grabber); })) ||
        !is_ok(reported_call(calls.media_type, [&] { return grabber->SetMediaType(&rgb24); })))
        return kStillNoGrabber;
    if (!is_ok(reported_call(calls.add_grabber,
                             [&] { return slot.graph_builder->AddFilter(grabber_filter.get(), L"Still Grabber"); }))) {
        grabber_filter.reset();  // not in the graph
        return kStillNoGrabber;
    }
    if (!is_ok(reported_call(calls.create_renderer, [&] {
            return CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    renderer.put_void());
        })))
        return leave(kStillNoRenderer);
    if (!is_ok(reported_call(calls.add_renderer,
                             [&] { return slot.graph_builder->AddFilter(renderer.get(), L"Still Renderer"); }))) {
        renderer.reset();
        return leave(kStillNoRenderer);
    }
    if (FAILED(reported_call(calls.render, [&] {
            return slot.capture_builder->RenderStream(&PIN_CATEGORY_STILL, &MEDIATYPE_Video, slot.device_filter.get(),
                                                      grabber_filter.get(), renderer.get());
        })))
        return leave(kStillNotRendered);
    // Method 0, SampleCB: the still's times come with its bytes.
    if (FAILED(reported_call(calls.set_callback, [&] { return grabber->SetCallback(still.listener.get(), 0); })))
        return leave(kStillCallbackRefused);
    still.grabber_filter = std::move(grabber_filter);
    still.grabber = std::move(grabber);
    still.renderer = std::move(renderer);
    return kStillSizeSet;
}

// The header the branch's stills are described by: its connection now.
int32_t read_still_header(StillSlot& still, const StillBranchCalls& calls) {
    MediaType type;
    if (!is_ok(reported_call(calls.connected_type, [&] { return still.grabber->GetConnectedMediaType(type.reset()); })))
        return kStillNoConnection;
    const VIDEOINFOHEADER* info = whole_video_info(*type.get());
    if (!info) return kStillNoConnection;
    still.listener->set_still_header(info->bmiHeader);
    return kStillSizeSet;
}

// The trigger and the button. A device without them still takes stills
// through the branch (a button-only one, say); the trigger answers then.
void take_video_control(Slot& slot, StillSlot& still, const StillBranchCalls& calls) {
    still.control.reset();
    still.can_trigger = false;
    if (!is_ok(reported_call(calls.query_control, [&] { return slot.device_filter.query(still.control); }))) {
        still.control.reset();
        return;
    }
    LONG caps = 0;
    if (!is_ok(reported_call(calls.get_caps, [&] { return still.control->GetCaps(still.still_pin.get(), &caps); })))
        return;
    still.can_trigger = (caps & VideoControlFlag_Trigger) != 0;
    if (!(caps & VideoControlFlag_ExternalTriggerEnable)) return;
    LONG mode = 0;
    if (!is_ok(reported_call(calls.get_mode, [&] { return still.control->GetMode(still.still_pin.get(), &mode); })))
        return;
    reported_call(calls.set_mode, [&] {
        return still.control->SetMode(still.still_pin.get(), (mode & ~VideoControlFlag_Trigger) |
                                                                 VideoControlFlag_ExternalTriggerEnable);
    });
}

}  // namespace

int32_t build_still_branch(int32_t index, Slot& slot, int32_t width, int32_t height, const StillBranchCalls& calls) {
    if (!slot.capture_builder || !slot.device_filter || !slot.graph_builder) return kStillNotRendered;
    if (!find_still_pin(index)) return kStillsFromCapture;
    StillSlot& still = still_slot(index);
    if (const int32_t failed = ensure_still_listener(index, kStillOutOfMemory)) return failed;
    if (const int32_t failed = set_still_format(still.still_pin.get(), width, height, calls)) return failed;
    if (!still.has_branch()) {
        if (const int32_t failed = add_branch(slot, still, calls)) return failed;
        take_video_control(slot, still, calls);
    }
    return read_still_header(still, calls);
}

}  // namespace vlx
