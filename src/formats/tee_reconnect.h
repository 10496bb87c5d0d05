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
// Only once the pin's connection carries the format it took (`taken`): a
// graph manager may reconnect the pin later, on a thread of its own, and
// the tee is then left to follow by itself. For a stopped graph; the calls
// are not reported. False when an output that was connected is left
// unconnected: neither the new type nor its old one connected again.
struct TakenFormat {
    GUID subtype{};
    LONG width = 0;
    LONG height = 0;
    REFERENCE_TIME interval = 0;
};
// The picture a FORMAT_VideoInfo type with a whole VIDEOINFOHEADER states.
TakenFormat taken_format_of(const AM_MEDIA_TYPE& type, const VIDEOINFOHEADER& vih);
bool reconnect_tee_outputs(IGraphBuilder* graph, IPin* capture_pin, const TakenFormat& taken);

}  // namespace vlx
