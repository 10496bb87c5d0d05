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

void note_bound_device(int32_t slot, IMoniker* moniker) {
    quietly([&] {
        ComPtr<IPropertyBag> bag;
        platform_call("DevicePath.Moniker.BindToStorage(PropertyBag)", [&] {
            return moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void());
        });
        slot_health(slot).bound_path = moniker_path(moniker, bag.get(), OptionalContext{});
    });
}

void note_opened(int32_t slot, int32_t render_mode, intptr_t mode_param1, intptr_t mode_param2) {
    quietly([&] {
        SlotHealth& health = slot_health(slot);
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
        if (tracking_wanted()) track_slot(slot, kUnreportedTracking);
    });
}

void note_run(int32_t slot, HRESULT ran, bool with_window) {
    quietly([&] {
        SlotHealth& health = slot_health(slot);
        health.placement.played_with_window = with_window;
        bool tracked = false;
        {
            HealthLock lock;
            tracked = health.watch.tracked;
        }
        const int64_t interval = tracked ? connected_frame_interval(slot, OptionalContext{}) : 0;
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

void note_stopped(int32_t slot) {
    {
        HealthLock lock;
        slot_health(slot).watch.running = false;
    }
    wake_watcher();
}

void note_placement(int32_t slot, const PreviewPlacement& where) {
    Placement& placement = slot_health(slot).placement;
    placement.placed = true;
    placement.owner = where.owner;
    placement.x = where.x;
    placement.y = where.y;
    placement.width = where.width;
    placement.height = where.height;
}

void note_releasing(int32_t slot) {
    quietly([&] {
        untrack_slot(slot);
        HealthLock lock;
        Watch& watch = slot_health(slot).watch;
        watch.tap.reset();  // the graph has stopped; its grabber holds the tap's last other reference
        watch.running = false;
        watch.run_result = S_OK;
        watch.lost = false;
        watch.audio_lost = false;
        watch.audio_filter = 0;
        watch.audio_unknown = 0;
        watch.aborted = false;
        watch.abort_result = S_OK;
        watch.frame_interval = 0;
    });
}

void note_exiting() noexcept {
    quietly([&] {
        stop_watcher();
        for (int32_t slot = 0; slot < kSlotCount; ++slot) untrack_slot(slot);
        set_tracking_wanted(false);
    });
}

class HealthObserver final : public SlotObserver {
public:
    void device_bound(int32_t slot, IMoniker* moniker) override { note_bound_device(slot, moniker); }
    void opened(int32_t slot, const OpenedGraph& graph) override {
        note_opened(slot, graph.render_mode, graph.param1, graph.param2);
    }
    void ran(int32_t slot, HRESULT ran, bool with_window) override { note_run(slot, ran, with_window); }
    void stopped(int32_t slot) override { note_stopped(slot); }
    void placed(int32_t slot, const PreviewPlacement& placement) override { note_placement(slot, placement); }
    // The health watcher lets go of the graph first.
    void releasing(int32_t slot) override { note_releasing(slot); }
};

constinit HealthObserver g_observer;

}  // namespace

SlotObserver& slot_observer() { return g_observer; }

void library_exiting() noexcept { note_exiting(); }

}  // namespace vlx::health
