#pragma once

namespace vlx {

// Subscribes the features that watch the slots' lives and the library's end
// (device health, frame events, sharing, profiles) to graph/'s and
// library/'s announcements. vlx_Init does it; again changes nothing.
void subscribe_features();

}  // namespace vlx
