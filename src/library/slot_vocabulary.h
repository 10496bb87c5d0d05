// The words every subsystem uses for a slot: how many there are, the states
// a slot passes through and the render modes vlx_Open builds. The values are
// the public header's; this file only names them for the library's code.
#pragma once

#include "vidlox.h"

#include <cstdint>

namespace vlx {

inline constexpr int kSlotCount = VLX_SLOT_COUNT;

enum SlotState : int32_t {
    kSlotClosed = VLX_SLOT_CLOSED,
    kSlotOpen = VLX_SLOT_OPEN,        // graph built, not running
    kSlotRunning = VLX_SLOT_RUNNING,  // the graph has been told to run
};

enum RenderMode : int32_t {
    kVideoRenderer = 0,
    kVmr7 = 1,
    kVmr9 = 2,
    kNullRenderer = 6,
    kAviWithNullRenderer = 300,
    kAviWithPreview = 301,
};

}  // namespace vlx
