// After the capture pin took a new format on an open graph: the Smart Tee
// that the capture graph builder put behind a capture-only pin.
#pragma once

#include "common/directshow.h"

namespace vlx {

// When `capture_pin` feeds a Smart Tee, connects each of the tee's connected
// output pins again with the type its input now has, so that they decide
// their allocator afresh. Windows' tee follows a reconnected input by
// itself, and connecting its outputs again changes nothing there; Wine's
// keeps the allocator of the old connection and then passes no sample on.
// An output whose peer does not accept the new type is left as it is, and
// one that cannot be connected with it is connected with its old type again.
// For a stopped graph; the calls are not reported.
void reconnect_tee_outputs(IGraphBuilder* graph, IPin* capture_pin);

}  // namespace vlx
