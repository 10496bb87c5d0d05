#include "devices/watcher.h"

#include "common/no_destroy.h"
#include "devices/device_state.h"
#include "devices/graph_events.h"
#include "devices/health_table.h"
#include "library/platform_call.h"

#include <objbase.h>

#include <new>
#include <utility>
#include <vector>

namespace vlx::health {

namespace {

// How often the watcher looks at every slot when no event wakes it: a stall
// (a second or more) is seen within this.
constexpr DWORD kLookEveryMs = 100;

struct WatcherState {
    HANDLE thread = nullptr;
    HANDLE wake = nullptr;  // auto-reset: stop, or look now
    HANDLE idle = nullptr;  // manual-reset: set while no graph is being read
    bool stop = false;
    HWND window = nullptr;
    UINT message = 0;
    int32_t reading_slot = -1;  // whose graph events the watcher reads now
};

// Guarded by HealthLock.
constinit NoDestroy<WatcherState> g_watcher;

struct Watched {
    int32_t slot;
    uint32_t generation;
    HANDLE event_handle;  // the watcher's own duplicate; null: read every round
    bool has_events;
};

struct Post {
    int32_t slot;
    int32_t state;
};

// The slots to watch this round, with handles of the watcher's own.
std::vector<Watched> watched_slots() {
    // A round's lists are the watcher's only allocations; the test build
    // makes them fail here.
    if (FAILED(platform_call("DeviceState.Watcher.AllocateRound", [] { return S_OK; }))) throw std::bad_alloc();
    std::vector<Watched> watched;
    HealthLock lock;
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        const Watch& watch = slot_health(slot).watch;
        if (!watch.tracked) continue;
        HANDLE copy = nullptr;
        if (watch.event_handle && !watch.events_unreadable) {
            DuplicateHandle(GetCurrentProcess(), watch.event_handle, GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE,
                            0);
        }
        watched.push_back({slot, watch.generation, copy, static_cast<bool>(watch.events)});
    }
    return watched;
}

// Reads the queued events of one watched graph, unless the host has let go
// of that graph since the round began.
void read_events_of(const Watched& watched) {
    IMediaEventEx* events = nullptr;
    {
        HealthLock lock;
        const Watch& watch = slot_health(watched.slot).watch;
        if (!watch.tracked || watch.generation != watched.generation || !watch.events) return;
        events = watch.events.get();  // the host keeps it alive while reading_slot names the slot
        g_watcher.value.reading_slot = watched.slot;
        ResetEvent(g_watcher.value.idle);
    }
    std::vector<GraphEvent> read;
    bool readable = true;
    try {
        readable = read_graph_events(events, read);
    } catch (...) {  // std::bad_alloc: the events read so far still count
    }
    HealthLock lock;
    g_watcher.value.reading_slot = -1;
    SetEvent(g_watcher.value.idle);
    Watch& watch = slot_health(watched.slot).watch;
    if (watch.tracked && watch.generation == watched.generation) {
        apply_graph_events(watch, read);
        watch.events_unreadable = !readable;
    }
}

// The state changes since the last round, to post once the lock is gone.
std::vector<Post> state_changes(HWND& window, UINT& message) {
    std::vector<Post> posts;
    const uint64_t now = GetTickCount64();
    HealthLock lock;
    window = g_watcher.value.window;
    message = g_watcher.value.message;
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        Watch& watch = slot_health(slot).watch;
        if (!watch.tracked) continue;
        const int32_t state = device_state(watch.facts(), now);
        if (state == watch.posted) continue;
        watch.posted = state;
        posts.push_back({slot, state});
    }
    return posts;
}

bool stop_asked() {
    HealthLock lock;
    return g_watcher.value.stop;
}

void watch_until_stopped() {
    while (!stop_asked()) {
        const std::vector<Watched> watched = watched_slots();
        std::vector<HANDLE> handles{g_watcher.value.wake};
        for (const Watched& w : watched) {
            if (w.event_handle && handles.size() < MAXIMUM_WAIT_OBJECTS) handles.push_back(w.event_handle);
        }
        WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, kLookEveryMs);
        for (const Watched& w : watched) {
            const bool signalled = w.event_handle && WaitForSingleObject(w.event_handle, 0) == WAIT_OBJECT_0;
            if (signalled || (!w.event_handle && w.has_events)) read_events_of(w);
            if (w.event_handle) CloseHandle(w.event_handle);
        }
        HWND window = nullptr;
        UINT message = 0;
        for (const Post& post : state_changes(window, message)) {
            if (window) PostMessageW(window, message, static_cast<WPARAM>(post.slot), static_cast<LPARAM>(post.state));
        }
    }
}

DWORD WINAPI watcher_main(void* module) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        watch_until_stopped();
    } catch (...) {
        // Out of memory: the watcher ends. Its thread handle tells that it
        // ended; the next vlx_SetDeviceNotify starts a new one.
    }
    if (SUCCEEDED(com)) CoUninitialize();
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

// A watcher whose thread has ended (out of memory) is joined and forgotten:
// it posts nothing any more, and a running one must not be assumed.
void forget_ended_watcher() {
    WatcherState& state = g_watcher.value;
    HANDLE thread = nullptr;
    {
        HealthLock lock;
        thread = state.thread;
    }
    if (!thread || WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) return;
    CloseHandle(thread);
    CloseHandle(std::exchange(state.wake, nullptr));
    CloseHandle(std::exchange(state.idle, nullptr));
    HealthLock lock;
    state.thread = nullptr;
    state.reading_slot = -1;
}

}  // namespace

bool start_watcher(HWND window, UINT message) {
    forget_ended_watcher();
    WatcherState& state = g_watcher.value;
    {
        HealthLock lock;
        state.window = window;
        state.message = message;
        if (state.thread) return true;
        // The slots watched so far start from where they are: no message for
        // the state a slot already had.
        const uint64_t now = GetTickCount64();
        for (int32_t slot = 0; slot < kSlotCount; ++slot) {
            Watch& watch = slot_health(slot).watch;
            if (watch.tracked) watch.posted = device_state(watch.facts(), now);
        }
        state.stop = false;
    }
    state.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    state.idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    // The thread's own reference to this module, given up as it exits.
    HMODULE module = nullptr;
    if (state.wake && state.idle &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&g_watcher),
                           &module)) {
        HANDLE thread = CreateThread(nullptr, 0, watcher_main, module, 0, nullptr);
        if (thread) {
            HealthLock lock;
            state.thread = thread;
            return true;
        }
        FreeLibrary(module);
    }
    if (state.wake) CloseHandle(std::exchange(state.wake, nullptr));
    if (state.idle) CloseHandle(std::exchange(state.idle, nullptr));
    HealthLock lock;
    state.window = nullptr;
    return false;
}

void stop_watcher() {
    WatcherState& state = g_watcher.value;
    HANDLE thread = nullptr;
    {
        HealthLock lock;
        thread = state.thread;
        state.window = nullptr;
        if (!thread) return;
        state.stop = true;
    }
    SetEvent(state.wake);
    // The watcher never waits for this thread, so a plain wait cannot
    // deadlock.
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(std::exchange(state.wake, nullptr));
    CloseHandle(std::exchange(state.idle, nullptr));
    HealthLock lock;
    state.thread = nullptr;
    state.reading_slot = -1;
}

void wake_watcher() {
    HealthLock lock;
    if (g_watcher.value.wake) SetEvent(g_watcher.value.wake);
}

void wait_until_watcher_leaves(int32_t slot) {
    for (;;) {
        HANDLE idle = nullptr;
        {
            HealthLock lock;
            if (g_watcher.value.reading_slot != slot) return;
            idle = g_watcher.value.idle;
        }
        WaitForSingleObject(idle, INFINITE);
    }
}

}  // namespace vlx::health
