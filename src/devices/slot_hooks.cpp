#include "devices/slot_hooks.h"

#include "common/string_argument.h"
#include "devices/health_table.h"
#include "devices/tracking.h"
#include "devices/watcher.h"
#include "enum/category_names.h"
#include "library/platform_call.h"

#include <optional>
#include <string>

namespace vlx::health {

namespace {

// A hook must never change what the step it serves returns: what it cannot
// note (memory ran out) stays unnoted.
template <class Body>
void quietly(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

std::optional<std::wstring> name_at(intptr_t address) {
    const auto* text = reinterpret_cast<const wchar_t*>(address);
    if (!text || is_resource_number(text)) return std::nullopt;
    return std::wstring(text);
}

bool takes_names(int32_t render_mode) {
    return render_mode == kAviWithNullRenderer || render_mode == kAviWithPreview;
}

}  // namespace

void note_bound_device(IMoniker* moniker) {
    quietly([&] {
        ComPtr<IPropertyBag> bag;
        platform_call("DevicePath.Moniker.BindToStorage(PropertyBag)", [&] {
            return moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void());
        });
        slot_health(active_slot_index()).bound_path = moniker_path(moniker, bag.get(), nullptr);
    });
}

void note_opened(int32_t render_mode, intptr_t mode_param1, intptr_t mode_param2) {
    quietly([&] {
        SlotHealth& health = slot_health(active_slot_index());
        OpenRequest request;
        request.made = true;
        request.device_path = std::move(health.bound_path);
        request.render_mode = render_mode;
        request.param1 = mode_param1;
        request.param2 = mode_param2;
        if (takes_names(render_mode)) {
            request.file_name = name_at(mode_param1);
            request.compressor_name = name_at(mode_param2);
        }
        health.request = std::move(request);
        health.placement = Placement{};
        health.reopen_runs = false;
        if (tracking_wanted()) track_slot(active_slot_index(), nullptr);
    });
}

void note_run(HRESULT ran, bool with_window) {
    quietly([&] {
        const int32_t slot = active_slot_index();
        SlotHealth& health = slot_health(slot);
        health.placement.played_with_window = with_window;
        bool tracked = false;
        {
            HealthLock lock;
            tracked = health.watch.tracked;
        }
        const int64_t interval = tracked ? connected_frame_interval(slot, nullptr) : 0;
        {
            HealthLock lock;
            Watch& watch = health.watch;
            watch.running = true;
            watch.run_result = ran;
            watch.run_started_ms = GetTickCount64();
            watch.frames_at_run = watch.tap ? watch.tap->frames() : 0;
            watch.aborted = false;
            watch.abort_result = S_OK;
            if (tracked) watch.frame_interval = interval;
        }
        wake_watcher();
    });
}

void note_stopped() {
    {
        HealthLock lock;
        slot_health(active_slot_index()).watch.running = false;
    }
    wake_watcher();
}

void note_placement(int32_t owner, int32_t x, int32_t y, int32_t width, int32_t height) {
    Placement& placement = slot_health(active_slot_index()).placement;
    placement.placed = true;
    placement.owner = owner;
    placement.x = x;
    placement.y = y;
    placement.width = width;
    placement.height = height;
}

void note_releasing() {
    quietly([&] {
        const int32_t slot = active_slot_index();
        untrack_slot(slot);
        HealthLock lock;
        Watch& watch = slot_health(slot).watch;
        watch.tap.reset();  // the graph has stopped; its grabber holds the tap's last other reference
        watch.running = false;
        watch.run_result = S_OK;
        watch.lost = false;
        watch.aborted = false;
        watch.abort_result = S_OK;
        watch.frame_interval = 0;
    });
}

void note_exiting() {
    quietly([&] {
        stop_watcher();
        for (int32_t slot = 0; slot < kSlotCount; ++slot) untrack_slot(slot);
        set_tracking_wanted(false);
    });
}

}  // namespace vlx::health
