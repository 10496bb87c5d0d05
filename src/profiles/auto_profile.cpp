#include "profiles/auto_profile.h"

#include "common/no_destroy.h"
#include "library/library_state.h"
#include "profiles/apply_profile.h"
#include "profiles/profile_codes.h"
#include "profiles/profile_file.h"
#include "profiles/profile_report.h"

#include <array>
#include <optional>
#include <string>

namespace vlx::profiles {

namespace {

// Read and written on the thread that called vlx_Init only.
constinit NoDestroy<std::array<std::optional<std::wstring>, kSlotCount>> g_files;

class AutoProfileObserver final : public SlotObserver {
public:
    void opened(int32_t slot, const OpenedGraph&) override {
        const auto& file = g_files.value[static_cast<size_t>(slot)];
        // vlx_Open acts on the active slot; a slot without a device has no
        // settings to take.
        if (!file || slot != library().active_slot || !active_slot().device_filter) return;
        try {
            apply_profile_file(slot, *file, 0);
        } catch (...) {
            // What the open built stays as it is; the report is the old one.
        }
    }
};

constinit AutoProfileObserver g_observer;

}  // namespace

int32_t set_auto_profile(const char* file) {
    if (!library_initialised()) return kAutoNotInitialised;
    auto& kept = g_files.value[static_cast<size_t>(library().active_slot)];
    if (!file) {
        kept.reset();
        return kAutoStored;
    }
    auto name = file_name_of(file);
    if (!name) return kAutoBadFileName;
    kept = std::move(*name);
    return kAutoStored;
}

SlotObserver& auto_profile_observer() { return g_observer; }

void library_exiting() noexcept {
    for (auto& file : g_files.value) file.reset();
    clear_reports();
}

}  // namespace vlx::profiles
