#include "stills/still_slots.h"

#include "common/no_destroy.h"
#include "library/library_state.h"
#include "library/platform_call.h"
#include "stills/still_branch.h"
#include "stills/still_notify.h"

#include <array>

namespace vlx {

namespace {

constinit NoDestroy<std::array<StillSlot, kSlotCount>> g_stills;

// The branch built at vlx_Open, for a slot that asked for stills before.
constexpr StillBranchCalls kOpenCalls{
    .stream_config = "vlx_Open->StillPin->QueryInterface(IAMStreamConfig)",
    .count = "vlx_Open->AMStreamConfig->GetNumberOfCapabilities(Still)",
    .stream_caps = "vlx_Open->AMStreamConfig->GetStreamCaps(Still)",
    .set_format = "vlx_Open->AMStreamConfig->SetFormat(Still)",
    .create_grabber = "vlx_Open->CoCreateInstance(StillGrabber)",
    .query_grabber = "vlx_Open->StillGrabberFilter->QueryInterface(ISampleGrabber)",
    .media_type = "vlx_Open->StillGrabber->SetMediaType",
    .add_grabber = "vlx_Open->GraphBuilder->AddFilter(StillGrabber)",
    .create_renderer = "vlx_Open->CoCreateInstance(StillRenderer)",
    .add_renderer = "vlx_Open->GraphBuilder->AddFilter(StillRenderer)",
    .render = "vlx_Open->CaptureGraphBuilder2->RenderStream(Still)",
    .set_callback = "vlx_Open->StillGrabber->SetCallback",
    .connected_type = "vlx_Open->StillGrabber->GetConnectedMediaType",
    .query_control = "vlx_Open->DeviceFilter->QueryInterface(AMVideoControl)",
    .get_caps = "vlx_Open->AMVideoControl->GetCaps",
    .get_mode = "vlx_Open->AMVideoControl->GetMode",
    .set_mode = "vlx_Open->AMVideoControl->SetMode(ExternalTriggerEnable)",
};

class StillsObserver final : public SlotObserver {
public:
    // The host asked for stills before the slot opened: the graph gets its
    // branch now, under vlx_Open's names. Whatever it answers leaves the
    // open as it is; vlx_TriggerStill tells a branch that is missing.
    void opened(int32_t slot, const OpenedGraph&) override {
        StillSlot& still = still_slot(slot);
        if (still.width == 0) return;
        build_still_branch(slot, library().slots[static_cast<size_t>(slot)], still.width, still.height, kOpenCalls);
    }
    void connection_changed(int32_t slot) override {
        if (StillListener* listener = still_slot(slot).listener.get()) listener->disarm_capture();
    }
    void releasing(int32_t slot) override {
        StillSlot& still = still_slot(slot);
        set_still_notify_target(slot, nullptr, 0);
        // Detached, it ignores stills still on their way; the grabbers keep
        // it alive until they go with the graph.
        if (still.listener) still.listener->detach();
        still = StillSlot{.width = still.width, .height = still.height};
    }
};

constinit StillsObserver g_observer;

}  // namespace

StillSlot& still_slot(int32_t slot) { return g_stills.value[static_cast<size_t>(slot)]; }

int32_t ensure_still_listener(int32_t slot, int32_t out_of_memory) {
    StillSlot& still = still_slot(slot);
    if (still.listener) return 0;
    return FAILED(StillListener::create(slot, still.listener)) ? out_of_memory : 0;
}

bool find_still_pin(int32_t slot) {
    StillSlot& still = still_slot(slot);
    const Slot& graph = library().slots[static_cast<size_t>(slot)];
    if (!still.looked_for_pin && graph.capture_builder && graph.device_filter) {
        still.looked_for_pin = true;
        platform_call("Stills.CaptureGraphBuilder2.FindPin(Still)", [&] {
            return graph.capture_builder->FindPin(graph.device_filter.get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL,
                                                  nullptr, FALSE, 0, still.still_pin.put());
        });
    }
    return static_cast<bool>(still.still_pin);
}

SlotObserver& stills_observer() { return g_observer; }

}  // namespace vlx
