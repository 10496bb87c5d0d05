#include "library/lifecycle.h"

#include "library/exit_observer.h"
#include "library/library_state.h"

#include <objbase.h>

namespace vlx {

int32_t init_library() {
    LibraryState& lib = library();
    if (lib.initialised != 0) return -1;
    const HRESULT status = CoInitialize(nullptr);
    // Counted as initialised whatever COM answered; only a successful call
    // is paired with a CoUninitialize in vlx_Exit.
    lib.initialised = 1;
    lib.owes_uninitialize = SUCCEEDED(status);
    return status;
}

int32_t exit_library() {
    LibraryState& lib = library();
    if (lib.initialised != 1) return -1;
    announce_library_exit();  // threads of the features end and let go of every graph while COM is still there
    if (lib.owes_uninitialize) CoUninitialize();
    lib.owes_uninitialize = false;
    lib.initialised = 0;
    return 0;
}

int32_t select_slot(int32_t slot) {
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(kSlotCount)) return -1;
    library().active_slot = slot;
    return 0;
}

int32_t selected_slot() { return library().active_slot; }

int32_t selected_slot_state() { return active_slot().slot_state; }

}  // namespace vlx
