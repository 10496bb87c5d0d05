// What the library keeps about each slot for device identity and health,
// beside the slot table: the open to repeat (vlx_Reopen), and the run,
// frames and graph events the health state is judged from.
//
// Threads. OpenRequest and Placement belong to the thread that called
// vlx_Init and are read and written only there. A Watch is shared with the
// health watcher's thread: every field is read and written under
// HealthLock; the platform calls that fill it are made outside the lock.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "devices/device_state.h"
#include "devices/frame_tap.h"
#include "library/slot_vocabulary.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vlx::health {

// What vlx_Open was asked, for vlx_Reopen.
struct OpenRequest {
    bool made = false;
    std::wstring device_path;  // the device's, read from its moniker when it was bound
    int32_t render_mode = 0;
    intptr_t param1 = 0;
    intptr_t param2 = 0;
    // Modes 300 and 301 take names by address; the host's strings need not
    // outlive its call, so the names themselves are kept.
    std::optional<std::wstring> file_name;
    std::optional<std::wstring> compressor_name;
};

// Where the host last placed the slot's preview (vlx_Play, vlx_ReSize), and
// how it started the graph.
struct Placement {
    bool placed = false;
    int32_t owner = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool played_with_window = false;
};

struct Watch {
    // Advances whenever the slot's graph goes: the watcher drops what it
    // read of an older graph.
    uint32_t generation = 0;

    // The run, noted for every slot: no platform call, no log line.
    bool running = false;
    HRESULT run_result = S_OK;
    uint64_t run_started_ms = 0;
    uint64_t frames_at_run = 0;

    // Tracking, once the host asked for health (vlx_GetDeviceState,
    // vlx_SetDeviceNotify): the grabber's tap and the graph's event queue.
    bool tracked = false;
    ComPtr<FrameTap> tap;
    ComPtr<IMediaEventEx> events;
    HANDLE event_handle = nullptr;  // our duplicate of the graph's
    // GetEvent failed while the queue's handle was signalled: the handle
    // stays signalled, so the watcher reads this queue on its rounds only
    // instead of waking on it (which would never wait).
    bool events_unreadable = false;
    int64_t frame_interval = 0;

    // The slot's audio device (sound/), as the events name a filter: its
    // IBaseFilter and IUnknown addresses, compared, never called. 0 none.
    LONG_PTR audio_filter = 0;
    LONG_PTR audio_unknown = 0;

    // What the graph's events said.
    bool lost = false;
    bool audio_lost = false;  // the audio device went; the picture goes on
    bool aborted = false;
    HRESULT abort_result = S_OK;
    bool abort_reported = false;  // the result went to the error recorder

    // The state the watcher last posted (or took as the slot's first).
    int32_t posted = -1;

    HealthFacts facts() const;
};

struct SlotHealth {
    OpenRequest request;
    Placement placement;
    Watch watch;
    std::wstring bound_path;  // of the device vlx_Open is binding now
    // A vlx_Reopen that closed a running slot and found no device: the next
    // one runs the slot again.
    bool reopen_runs = false;
};

// The health records, one per slot.
SlotHealth& slot_health(int32_t slot);
int32_t active_slot_index();

// Whether the host asked for health since vlx_Init (tracking then covers
// every open slot).
bool tracking_wanted();
void set_tracking_wanted(bool wanted);

// The one lock of the Watch records, shared by the host's thread and the
// watcher. A slim reader/writer lock: constant-initialised, nothing to
// destroy at unload.
class HealthLock {
public:
    HealthLock();
    ~HealthLock();
    HealthLock(const HealthLock&) = delete;
    HealthLock& operator=(const HealthLock&) = delete;
};

}  // namespace vlx::health
