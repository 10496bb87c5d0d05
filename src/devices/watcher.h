// The health watcher: one thread for the whole library, started when a host
// asks for device notifications, that posts the host's message whenever a
// watched slot's device state changes.
//
// What it touches, and why that is safe:
//  - It joins the multithreaded apartment and calls one platform object
//    only: each watched graph's event queue (the Filter Graph Manager's
//    IMediaEventEx, GetEvent and FreeEventParams), which the graph's own
//    filters feed from their streaming threads and which takes calls from
//    any thread. It never calls a filter, a pin or the grabber, and never
//    the error recorder (the host's log buffer belongs to the host's
//    thread).
//  - Frames are counted by the slot's tap (atomics); time by GetTickCount64;
//    waits are on our own duplicates of the graphs' event handles.
//  - It never holds a reference of its own to a graph. The host's thread
//    lets go of a graph (vlx_Close, a failed vlx_Open, vlx_Exit) only after
//    waiting until the watcher is not reading that graph's events.
//  - It keeps the DLL loaded while it runs (a module reference it gives up
//    as it exits), so a host that unloads the library without stopping it
//    never leaves a thread running in unmapped code.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx::health {

// Starts the watcher, or retargets the one running; false when the thread
// cannot be started.
bool start_watcher(HWND window, UINT message);
// Stops the watcher and waits for its thread to end; nothing when none runs.
void stop_watcher();
// Has a running watcher look at every slot now.
void wake_watcher();
// Returns once the watcher is not reading slot `slot`'s graph events.
void wait_until_watcher_leaves(int32_t slot);

}  // namespace vlx::health
