#include "events/frame_notify.h"

#include "common/no_destroy.h"
#include "library/platform_call.h"
#include "library/slot_vocabulary.h"

#include <array>
#include <atomic>

namespace vlx {

namespace {

// One slot's announcement. `lock` guards window and message; the streaming
// thread holds it (shared) from reading them until its message is posted,
// so that a new registration never meets a message posted for the old one.
struct Target {
    SRWLOCK lock = SRWLOCK_INIT;
    HWND window = nullptr;
    UINT message = 0;
    std::atomic<bool> pending{false};  // posted and not yet retrieved
};

// A message hook on one thread, shared by the slots announced there.
struct ThreadHook {
    DWORD thread = 0;
    HHOOK hook = nullptr;
    int users = 0;
};

struct NotifyTable {
    std::array<Target, kSlotCount> targets{};
    // The host's thread alone changes these.
    std::array<ThreadHook, kSlotCount> hooks{};
    std::array<DWORD, kSlotCount> hooked_thread{};  // per slot: the thread its window belongs to
};

constinit NoDestroy<NotifyTable> g_notify;

Target& target_of(int32_t slot) { return g_notify.value.targets[static_cast<size_t>(slot)]; }

// Runs on the hooked thread for every message it retrieves.
LRESULT CALLBACK on_message_retrieved(int code, WPARAM removal, LPARAM message) {
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const MSG& retrieved = *reinterpret_cast<const MSG*>(message);
        if (retrieved.wParam < static_cast<WPARAM>(kSlotCount)) {
            Target& target = target_of(static_cast<int32_t>(retrieved.wParam));
            AcquireSRWLockShared(&target.lock);
            if (target.window && target.window == retrieved.hwnd && target.message == retrieved.message)
                target.pending = false;
            ReleaseSRWLockShared(&target.lock);
        }
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

ThreadHook* hook_of(DWORD thread) {
    for (ThreadHook& hook : g_notify.value.hooks) {
        if (hook.users > 0 && hook.thread == thread) return &hook;
    }
    return nullptr;
}

// 0, or -6 when the hook cannot be installed.
int32_t use_hook(DWORD thread) {
    if (ThreadHook* hook = hook_of(thread)) {
        ++hook->users;
        return 0;
    }
    for (ThreadHook& hook : g_notify.value.hooks) {
        if (hook.users > 0) continue;
        HHOOK installed = nullptr;
        reported_call("vlx_SetFrameNotify->MessageQueue->SetWindowsHookEx(WH_GETMESSAGE)", [&] {
            installed = SetWindowsHookExW(WH_GETMESSAGE, on_message_retrieved, nullptr, thread);
            return installed ? S_OK : HRESULT_FROM_WIN32(GetLastError());
        });
        if (!installed) return -6;
        hook = ThreadHook{thread, installed, 1};
        return 0;
    }
    return -6;  // cannot happen: each slot uses at most one hook
}

void drop_hook(DWORD thread) {
    ThreadHook* hook = hook_of(thread);
    if (!hook || --hook->users > 0) return;
    const HHOOK installed = hook->hook;
    platform_call("FrameNotify.MessageQueue.UnhookWindowsHookEx",
                  [&] { return UnhookWindowsHookEx(installed) ? S_OK : HRESULT_FROM_WIN32(GetLastError()); });
    *hook = ThreadHook{};
}

void write_target(Target& target, HWND window, UINT message) {
    AcquireSRWLockExclusive(&target.lock);
    // An announcement still queued for another window or message is not this
    // registration's: it no longer holds the next one back.
    if (window != target.window || message != target.message) target.pending = false;
    target.window = window;
    target.message = message;
    ReleaseSRWLockExclusive(&target.lock);
}

}  // namespace

int32_t window_thread(HWND window, DWORD& thread) {
    DWORD process = 0;
    thread = 0;
    platform_call("vlx_SetFrameNotify.Window.GetWindowThreadProcessId", [&] {
        thread = GetWindowThreadProcessId(window, &process);
        return thread ? S_OK : HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
    });
    if (!thread) return -2;
    return process == GetCurrentProcessId() ? 0 : -3;
}

int32_t set_frame_notify_target(int32_t slot, HWND window, DWORD thread, UINT message) {
    DWORD& hooked = g_notify.value.hooked_thread[static_cast<size_t>(slot)];
    if (hooked != thread) {
        if (const int32_t failed = use_hook(thread)) return failed;
        if (hooked) drop_hook(hooked);
        hooked = thread;
    }
    write_target(target_of(slot), window, message);
    return 0;
}

void clear_frame_notify_target(int32_t slot) {
    write_target(target_of(slot), nullptr, 0);
    DWORD& hooked = g_notify.value.hooked_thread[static_cast<size_t>(slot)];
    if (hooked) drop_hook(hooked);
    hooked = 0;
}

void announce_frame(int32_t slot, int64_t number) noexcept {
    Target& target = target_of(slot);
    AcquireSRWLockShared(&target.lock);
    bool idle = false;
    if (target.window && target.pending.compare_exchange_strong(idle, true)) {
        const auto low_bits = static_cast<LPARAM>(static_cast<uint32_t>(number));
        const HRESULT posted = platform_call("SampleCB.Window.PostMessage", [&] {
            return PostMessageW(target.window, target.message, static_cast<WPARAM>(slot), low_bits)
                       ? S_OK
                       : HRESULT_FROM_WIN32(GetLastError());
        });
        if (FAILED(posted)) target.pending = false;  // nothing queued: the next frame tries again
    }
    ReleaseSRWLockShared(&target.lock);
}

}  // namespace vlx
