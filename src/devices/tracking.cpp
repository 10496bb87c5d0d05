#include "devices/tracking.h"

#include "devices/device_state.h"
#include "devices/health_table.h"
#include "devices/watcher.h"
#include "frames/held_frames.h"
#include "graph/grabber_callback.h"
#include "library/library_state.h"
#include "common/media_type.h"
#include "library/platform_call.h"

#include <utility>

namespace vlx::health {

namespace {

Slot& slot_at(int32_t slot) { return library().slots[static_cast<size_t>(slot)]; }

// Our own duplicate: the watcher may still wait on it while the graph that
// owns the original is released.
HANDLE duplicate_event_handle(IMediaEventEx* events, OptionalContext context) {
    OAEVENT handle = 0;
    const HRESULT got = context.make("DeviceState.MediaEventEx.GetEventHandle",
                                      [&] { return events->GetEventHandle(&handle); });
    if (got != S_OK || !handle) return nullptr;
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(handle), GetCurrentProcess(), &copy,
                         SYNCHRONIZE, FALSE, 0))
        return nullptr;
    return copy;
}

// Whether a frame is held for the slot: a sign that its device was
// delivering before anything counted. A slot whose frames the library
// tracks holds them itself; its grabber keeps none.
bool holds_a_frame(int32_t slot, ISampleGrabber* grabber) {
    long size = 0;
    if (HeldFrames* held = held_frames(slot)) return held->copy_newest(&size, nullptr) == S_OK;
    return grabber && platform_call("DeviceState.SampleGrabber.GetCurrentBuffer",
                                    [&] { return grabber->GetCurrentBuffer(&size, nullptr); }) == S_OK;
}

}  // namespace

int64_t connected_frame_interval(int32_t slot, OptionalContext context) {
    ISampleGrabber* grabber = slot_at(slot).sample_grabber.get();
    if (!grabber) return 0;
    MediaType type;
    const HRESULT got = context.make("DeviceState.SampleGrabber.GetConnectedMediaType",
                                      [&] { return grabber->GetConnectedMediaType(type.get()); });
    if (got != S_OK || !IsEqualGUID(type->formattype, FORMAT_VideoInfo) || !type->pbFormat ||
        type->cbFormat < sizeof(VIDEOINFOHEADER))
        return 0;
    const int64_t interval = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame;
    return interval > 0 ? interval : 0;
}

bool track_slot(int32_t slot, const TrackCalls& contexts) {
    Slot& graph = slot_at(slot);
    if (!graph.is_open()) return true;
    Watch& watch = slot_health(slot).watch;
    ComPtr<FrameTap> tap;
    {
        HealthLock lock;
        if (watch.tracked) return true;
        tap = watch.tap;  // still on this grabber, when tracking ended before
    }

    const bool fitted = static_cast<bool>(tap);
    if (!fitted && graph.sample_grabber) {
        // The grabber's one callback may already be there for frame events.
        // Without a tap every frame would go uncounted and a delivering
        // device would read as stalled: the slot stays untracked instead.
        tap = ComPtr<FrameTap>::adopt(FrameTap::create());
        if (!tap || FAILED(add_grabber_listener(slot, tap.get(), [&](ISampleGrabberCB* callback) {
                return contexts.set_callback.make("DeviceState.SampleGrabber.SetCallback",
                                     [&] { return graph.sample_grabber->SetCallback(callback, 0); });
            })))
            return false;
    }
    ComPtr<IMediaEventEx> events;
    if (graph.graph_builder) {
        contexts.query_events.make("DeviceState.GraphBuilder.QueryInterface(MediaEventEx)", [&] {
            return graph.graph_builder->QueryInterface(IID_IMediaEventEx, events.put_void());
        });
    }
    HANDLE event_handle = events ? duplicate_event_handle(events.get(), contexts.event_handle) : nullptr;

    int64_t interval = 0;
    if (graph.is_running()) {
        interval = connected_frame_interval(slot, contexts.media_type);
        // Frames that came before the tap cannot be counted; a held one
        // shows that the device was delivering.
        if (!fitted && tap && holds_a_frame(slot, graph.sample_grabber.get())) tap->note_arrival();
    }

    LONG_PTR audio_unknown = 0;
    if (graph.audio_device) {
        ComPtr<IUnknown> identity;
        platform_call("DeviceState.AudioCapture.QueryInterface(IUnknown)",
                      [&] { return graph.audio_device->QueryInterface(IID_IUnknown, identity.put_void()); });
        audio_unknown = reinterpret_cast<LONG_PTR>(identity.get());
    }

    HealthLock lock;
    watch.tracked = true;
    watch.audio_filter = reinterpret_cast<LONG_PTR>(graph.audio_device.get());
    watch.audio_unknown = audio_unknown;
    watch.tap = std::move(tap);
    watch.events = std::move(events);
    watch.event_handle = event_handle;
    watch.events_unreadable = false;
    watch.frame_interval = interval;
    if (!fitted) watch.frames_at_run = 0;  // a new tap counts from its fitting
    watch.posted = device_state(watch.facts(), GetTickCount64());
    return true;
}

void untrack_slot(int32_t slot) {
    Watch& watch = slot_health(slot).watch;
    ComPtr<IMediaEventEx> events;
    HANDLE event_handle = nullptr;
    {
        HealthLock lock;
        if (!watch.tracked) return;
        ++watch.generation;
        watch.tracked = false;
        // The tap stays a listener of the grabber's callback until the graph
        // goes (grabber_callback.h, note_releasing), and is used again if
        // tracking comes back.
        events = std::move(watch.events);
        event_handle = std::exchange(watch.event_handle, nullptr);
        watch.posted = -1;
    }
    // The watcher may be reading this graph's events right now; the graph
    // must not go while it does.
    wait_until_watcher_leaves(slot);
    if (event_handle) CloseHandle(event_handle);
}

}  // namespace vlx::health
