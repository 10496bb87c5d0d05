#include "stills/stills.h"

#include "library/library_state.h"
#include "stills/still_branch.h"
#include "stills/still_codes.h"
#include "stills/still_slots.h"

namespace vlx {

namespace {

constexpr StillBranchCalls kSizeCalls{
    .stream_config = "vlx_SetStillSize->StillPin->QueryInterface(IAMStreamConfig)",
    .count = "vlx_SetStillSize->AMStreamConfig->GetNumberOfCapabilities(Still)",
    .stream_caps = "vlx_SetStillSize->AMStreamConfig->GetStreamCaps(Still)",
    .set_format = "vlx_SetStillSize->AMStreamConfig->SetFormat(Still)",
    .create_grabber = "vlx_SetStillSize->CoCreateInstance(StillGrabber)",
    .query_grabber = "vlx_SetStillSize->StillGrabberFilter->QueryInterface(ISampleGrabber)",
    .media_type = "vlx_SetStillSize->StillGrabber->SetMediaType",
    .add_grabber = "vlx_SetStillSize->GraphBuilder->AddFilter(StillGrabber)",
    .create_renderer = "vlx_SetStillSize->CoCreateInstance(StillRenderer)",
    .add_renderer = "vlx_SetStillSize->GraphBuilder->AddFilter(StillRenderer)",
    .render = "vlx_SetStillSize->CaptureGraphBuilder2->RenderStream(Still)",
    .set_callback = "vlx_SetStillSize->StillGrabber->SetCallback",
    .connected_type = "vlx_SetStillSize->StillGrabber->GetConnectedMediaType",
    .query_control = "vlx_SetStillSize->DeviceFilter->QueryInterface(AMVideoControl)",
    .get_caps = "vlx_SetStillSize->AMVideoControl->GetCaps",
    .get_mode = "vlx_SetStillSize->AMVideoControl->GetMode",
    .set_mode = "vlx_SetStillSize->AMVideoControl->SetMode(ExternalTriggerEnable)",
};

}  // namespace

int32_t set_still_size(int32_t width, int32_t height) {
    if (!library_initialised()) return kStillNotInitialised;
    if (width < 0 || height < 0 || (width == 0) != (height == 0)) return kStillBadSize;
    const int32_t index = library().active_slot;
    Slot& slot = active_slot();
    // A running graph connects no new pin, and a still pin changes its size
    // only while stopped.
    if (slot.is_running()) return kStillSlotRunning;
    StillSlot& still = still_slot(index);
    still.width = width;
    still.height = height;
    if (!slot.is_open() || width == 0) return kStillSizeSet;
    return build_still_branch(index, slot, width, height, kSizeCalls);
}

}  // namespace vlx
