// What a slot's graph tells the features that watch it (device health,
// frame events, sharing). graph/ announces each step of a slot's life from
// the step itself, on the host's thread; the features subscribe from above
// and graph/ knows none of them.
//
// An announcement adds no log line and no reported call to the step that
// makes it, unless the host asked a feature for work at that step (stills:
// a slot asked for stills gets its still branch at vlx_Open, under vlx_Open's
// names), and never changes what that step returns: an observer that throws
// is ignored (what it could not note stays unnoted).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>

namespace vlx {

// The arguments vlx_Open built a slot's graph with.
struct OpenedGraph {
    int32_t render_mode = 0;
    intptr_t param1 = 0;
    intptr_t param2 = 0;
};

// Where vlx_Play or vlx_ReSize put a slot's preview.
struct PreviewPlacement {
    int32_t owner = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

class SlotObserver {
public:
    // vlx_Open is binding `moniker` into `slot`.
    virtual void device_bound(int32_t /*slot*/, IMoniker* /*moniker*/) {}
    // vlx_Open built the slot's graph.
    virtual void opened(int32_t /*slot*/, const OpenedGraph& /*graph*/) {}
    // A format step (vlx_SetDevCapConfig) may have connected the grabber
    // again: a frame held from before belongs to another connection.
    virtual void connection_changed(int32_t /*slot*/) {}
    // vlx_Play (with_window) or vlx_Play2 ran the graph; Run answered `ran`.
    virtual void ran(int32_t /*slot*/, HRESULT /*ran*/, bool /*with_window*/) {}
    // vlx_Stop stopped the graph.
    virtual void stopped(int32_t /*slot*/) {}
    // vlx_Play or vlx_ReSize placed the preview.
    virtual void placed(int32_t /*slot*/, const PreviewPlacement& /*placement*/) {}
    // The slot's interfaces are about to be released (vlx_Close, a failed
    // vlx_Open): whatever the observer holds of the graph goes now. Observers
    // are told in the order they subscribed.
    virtual void releasing(int32_t /*slot*/) {}

protected:
    ~SlotObserver() = default;
};

// Subscribes `observer`, which lives as long as the process, once: a second
// subscription of the same observer changes nothing. False when the table of
// observers is full (a fixed, small number).
bool add_slot_observer(SlotObserver& observer);

// ---- graph/'s own steps ----
void announce_device_bound(int32_t slot, IMoniker* moniker);
void announce_opened(int32_t slot, const OpenedGraph& graph);
void announce_connection_changed(int32_t slot);
void announce_ran(int32_t slot, HRESULT ran, bool with_window);
void announce_stopped(int32_t slot);
void announce_placed(int32_t slot, const PreviewPlacement& placement);
void announce_releasing(int32_t slot);

}  // namespace vlx
