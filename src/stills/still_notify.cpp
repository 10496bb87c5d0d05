#include "stills/still_notify.h"

#include "common/no_destroy.h"
#include "common/srw_lock.h"
#include "library/platform_call.h"
#include "library/slot_vocabulary.h"

#include <array>

namespace vlx {

namespace {

// The streaming thread holds a target's lock (shared) from reading it until
// its message is posted, so a still never goes to a window the host has
// replaced.
struct Target {
    SRWLOCK lock = SRWLOCK_INIT;
    HWND window = nullptr;
    UINT message = 0;
};

constinit NoDestroy<std::array<Target, kSlotCount>> g_targets;

}  // namespace

void set_still_notify_target(int32_t slot, HWND window, UINT message) {
    Target& target = g_targets.value[static_cast<size_t>(slot)];
    ExclusiveLock guard(target.lock);
    target.window = window;
    target.message = message;
}

void announce_still(int32_t slot, const StillStamp& stamp) noexcept {
    Target& target = g_targets.value[static_cast<size_t>(slot)];
    SharedLock guard(target.lock);
    if (!target.window) return;
    // A window gone meanwhile only fails the post.
    platform_call("StillCB.Window.PostMessage", [&] {
        return PostMessageW(target.window, target.message, static_cast<WPARAM>(slot), static_cast<LPARAM>(stamp.source))
                   ? S_OK
                   : HRESULT_FROM_WIN32(GetLastError());
    });
}

}  // namespace vlx
