#include "events/frame_notify.h"

#include "common/no_destroy.h"
#include "library/platform_call.h"
#include "library/slot_vocabulary.h"

#include <array>
#include <atomic>
#include <utility>

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

struct NotifyTable {
    std::array<Target, kSlotCount> targets{};
    // The host's thread alone changes these: per slot, the message hook on
    // its window's thread. Each slot has its own, even beside another slot's
    // on the same thread: thread ids are reused, so a hook shared by id
    // could be taken for one still in place after its thread had ended.
    std::array<HHOOK, kSlotCount> hooks{};
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

void unhook(HHOOK& hook) {
    if (!hook) return;
    const HHOOK installed = std::exchange(hook, nullptr);
    // A hook whose thread has ended may be gone already; a failure leaves
    // nothing behind.
    platform_call("FrameNotify.MessageQueue.UnhookWindowsHookEx",
                  [&] { return UnhookWindowsHookEx(installed) ? S_OK : HRESULT_FROM_WIN32(GetLastError()); });
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
    HHOOK installed = nullptr;
    reported_call("vlx_SetFrameNotify->MessageQueue->SetWindowsHookEx(WH_GETMESSAGE)", [&] {
        installed = SetWindowsHookExW(WH_GETMESSAGE, on_message_retrieved, nullptr, thread);
        return installed ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    });
    if (!installed) return -6;
    HHOOK& hook = g_notify.value.hooks[static_cast<size_t>(slot)];
    unhook(hook);
    hook = installed;
    write_target(target_of(slot), window, message);
    return 0;
}

void clear_frame_notify_target(int32_t slot) {
    write_target(target_of(slot), nullptr, 0);
    unhook(g_notify.value.hooks[static_cast<size_t>(slot)]);
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
