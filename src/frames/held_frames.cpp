#include "frames/held_frames.h"

#include "library/slot_vocabulary.h"

#include <array>

namespace vlx {

namespace {

constinit std::array<HeldFrames*, kSlotCount> g_held{};

}  // namespace

void hold_frames(int32_t slot, HeldFrames* frames) { g_held[static_cast<size_t>(slot)] = frames; }

HeldFrames* held_frames(int32_t slot) { return g_held[static_cast<size_t>(slot)]; }

}  // namespace vlx
