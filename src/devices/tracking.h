// Fitting a slot's graph with what its health is judged from: a frame tap
// on the Sample Grabber and our own handle of the graph's event queue.
// Host thread only.
#pragma once

#include "library/optional_context.h"

#include <cstdint>

namespace vlx::health {

// Context strings of the tracking calls an export makes. None (inside a base
// export, whose log must not change): the calls are made unreported.
struct TrackCalls {
    OptionalContext set_callback;   // ISampleGrabber::SetCallback
    OptionalContext query_events;   // the graph's IMediaEventEx
    OptionalContext event_handle;   // IMediaEventEx::GetEventHandle
    OptionalContext media_type;     // ISampleGrabber::GetConnectedMediaType (the frame interval)
};

// Tracks open slot `slot` from now on, unless it is tracked already or not
// open. A slot that is running and whose grabber already holds a frame
// counts as delivering. False, with the slot left untracked (the next call
// tries again), when its grabber could not be given the counting callback.
bool track_slot(int32_t slot, const TrackCalls& calls);
// The tracking calls made inside a base export: none reported.
inline constexpr TrackCalls kUnreportedTracking{};

// Ends tracking of `slot`: waits until the watcher has left its graph, then
// lets go of the event queue. The tap stays on the grabber for the graph's
// life.
void untrack_slot(int32_t slot);

// The grabber's frame interval (AvgTimePerFrame of its connection), or 0.
int64_t connected_frame_interval(int32_t slot, OptionalContext context);

}  // namespace vlx::health
