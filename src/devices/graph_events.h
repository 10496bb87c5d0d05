// The events a slot's graph queues for the application (IMediaEventEx):
// read, freed, and folded into the slot's health record.
#pragma once

#include "common/directshow.h"
#include "devices/health_table.h"

#include <vector>

namespace vlx::health {

struct GraphEvent {
    long code;
    LONG_PTR param1;
    LONG_PTR param2;
};

// Every event queued now, each freed with FreeEventParams once read (the
// parameters kept are plain values). False when GetEvent failed for another
// reason than an empty queue.
bool read_graph_events(IMediaEventEx* events, std::vector<GraphEvent>& read);

// What the events say about the device (HealthLock held): EC_DEVICE_LOST
// with 0 (removed) marks it lost (or, naming the slot's audio device, the
// audio lost); EC_ERRORABORT and EC_STREAM_ERROR_STOPPED
// mark the run stopped by the error in their first parameter. Every other
// event means nothing to the device's health and is dropped: none of the
// library's exports waits for graph events.
void apply_graph_events(Watch& watch, const std::vector<GraphEvent>& events);

}  // namespace vlx::health
