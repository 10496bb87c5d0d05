#include "devices/graph_events.h"

#include "library/platform_call.h"

namespace vlx::health {

bool read_graph_events(IMediaEventEx* events, std::vector<GraphEvent>& read) {
    for (;;) {
        GraphEvent event{};
        // No wait: E_ABORT is the empty queue.
        const HRESULT got = platform_call("DeviceState.MediaEventEx.GetEvent", [&] {
            return events->GetEvent(&event.code, &event.param1, &event.param2, 0);
        });
        if (got == E_ABORT) return true;
        if (FAILED(got)) return false;
        platform_call("DeviceState.MediaEventEx.FreeEventParams",
                      [&] { return events->FreeEventParams(event.code, event.param1, event.param2); });
        read.push_back(event);
    }
}

void apply_graph_events(Watch& watch, const std::vector<GraphEvent>& events) {
    for (const GraphEvent& event : events) {
        switch (event.code) {
        case EC_DEVICE_LOST:
            // 1 says the device is back: the graph still holds the filter
            // of the device that went, and stays lost until reopened. The
            // audio device's loss leaves the picture going.
            if (event.param2 != 0) break;
            if (event.param1 != 0 && (event.param1 == watch.audio_filter || event.param1 == watch.audio_unknown))
                watch.audio_lost = true;
            else
                watch.lost = true;
            break;
        case EC_ERRORABORT:
        case EC_STREAM_ERROR_STOPPED:
            if (!watch.aborted) {
                watch.aborted = true;
                watch.abort_result = static_cast<HRESULT>(event.param1);
                watch.abort_reported = false;
            }
            break;
        default:
            break;
        }
    }
}

}  // namespace vlx::health
