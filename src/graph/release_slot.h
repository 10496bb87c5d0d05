#pragma once

namespace vlx {

// Releases and nulls every interface field of the active slot, in the fixed
// order of release_slot.cpp. Before that it hides the preview window and
// takes it from its owner (unreported). It makes no other call: the graph is
// not stopped and no filter is removed; the release of the last reference
// to the graph ends it. Changes neither slot_state nor render_mode.
void release_slot();

}  // namespace vlx
