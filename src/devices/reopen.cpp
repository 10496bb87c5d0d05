#include "devices/reopen.h"

#include "devices/health_codes.h"
#include "devices/device_paths.h"
#include "devices/health_table.h"
#include "graph/open_graph.h"
#include "graph/running.h"
#include "library/library_state.h"

namespace vlx::health {

namespace {

intptr_t address_of(const std::optional<std::wstring>& name, intptr_t given) {
    return name ? reinterpret_cast<intptr_t>(name->c_str()) : given;
}

}  // namespace

int32_t reopen() {
    if (!library_initialised()) return kReopenNotInitialised;
    SlotHealth& health = slot_health(active_slot_index());
    if (!health.request.made) return kReopenNeverOpened;

    // Copies: opening the slot again records the new open in their place.
    const OpenRequest request = health.request;
    const Placement placement = health.placement;
    const bool was_running = active_slot().is_running() || (!active_slot().is_open() && health.reopen_runs);

    if (active_slot().is_open()) close_slot();
    // Until an open succeeds, the host's next reopen (a retry while the
    // driver settles) still owes the slot its run and its placement.
    health.reopen_runs = was_running;
    const int32_t index = index_of_path(request.device_path);
    if (index < 0) return index;

    // Modes 300 and 301 get the kept names at addresses of ours (a value of
    // 1 ... 65535 the host gave goes as it was).
    const intptr_t param1 = address_of(request.file_name, request.param1);
    const intptr_t param2 = address_of(request.compressor_name, request.param2);
    const int32_t opened = open_device(index, request.render_mode, 0, param1, param2);
    if (opened < 0) return opened;
    health.reopen_runs = false;

    // The next reopen starts from what this one restored.
    health.placement = placement;
    health.placement.played_with_window = false;
    if (was_running && placement.played_with_window) {
        play(placement.owner, placement.x, placement.y, placement.width, placement.height);
    } else {
        if (placement.placed) place_preview(placement.owner, placement.x, placement.y, placement.width, placement.height);
        if (was_running) play_without_window();
    }
    return opened;
}

}  // namespace vlx::health
