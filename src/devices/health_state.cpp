#include "devices/health_state.h"

#include "devices/health_codes.h"
#include "devices/device_state.h"
#include "devices/graph_events.h"
#include "devices/health_table.h"
#include "devices/tracking.h"
#include "devices/watcher.h"
#include "library/library_state.h"
#include "library/platform_call.h"

#include <vector>

namespace vlx::health {

namespace {

constexpr TrackCalls kStateTracking{
    .set_callback = "vlx_GetDeviceState->SampleGrabber->SetCallback",
    .query_events = "vlx_GetDeviceState->GraphBuilder->QueryInterface(MediaEventEx)",
    .event_handle = "vlx_GetDeviceState->MediaEventEx->GetEventHandle",
    .media_type = "vlx_GetDeviceState->SampleGrabber->GetConnectedMediaType",
};
constexpr TrackCalls kNotifyTracking{
    .set_callback = "vlx_SetDeviceNotify->SampleGrabber->SetCallback",
    .query_events = "vlx_SetDeviceNotify->GraphBuilder->QueryInterface(MediaEventEx)",
    .event_handle = "vlx_SetDeviceNotify->MediaEventEx->GetEventHandle",
    .media_type = "vlx_SetDeviceNotify->SampleGrabber->GetConnectedMediaType",
};

}  // namespace

int32_t current_device_state() {
    if (!library_initialised()) return kStateNotInitialised;
    if (!active_slot().is_open()) return kStateSlotNotOpen;
    const int32_t slot = active_slot_index();
    set_tracking_wanted(true);
    if (!track_slot(slot, kStateTracking)) return kStateCallbackRefused;

    Watch& watch = slot_health(slot).watch;
    ComPtr<IMediaEventEx> events;
    {
        HealthLock lock;
        events = watch.events;
    }
    if (!events) return kStateNoEventQueue;
    // This thread's own graph: its events are read here, in its apartment.
    std::vector<GraphEvent> read;
    // Events taken from the queue before a failed read still count.
    const bool readable = read_graph_events(events.get(), read);

    HealthFacts facts;
    bool report_abort = false;
    HRESULT abort_result = S_OK;
    {
        HealthLock lock;
        apply_graph_events(watch, read);
        watch.events_unreadable = !readable;
        if (watch.aborted && !watch.abort_reported) {
            watch.abort_reported = true;
            report_abort = true;
            abort_result = watch.abort_result;
        }
        facts = watch.facts();
    }
    if (report_abort) {
        reported_call("vlx_GetDeviceState->MediaEventEx->GetEvent(ErrorAbort)", [&] { return abort_result; });
    }
    wake_watcher();  // so that a host's window learns what this call learned
    if (!readable) return kStateNoEventQueue;
    return device_state(facts, GetTickCount64());
}

int32_t set_device_notify(HWND window, uint32_t message) {
    if (!library_initialised()) return kNotifyNotInitialised;
    if (!window) {
        stop_watcher();
        return kNotifyDone;
    }
    if (!IsWindow(window)) return kNotifyNotAWindow;
    set_tracking_wanted(true);
    for (int32_t slot = 0; slot < kSlotCount; ++slot) track_slot(slot, kNotifyTracking);
    return start_watcher(window, message) ? kNotifyDone : kNotifyNoWatcher;
}

}  // namespace vlx::health
