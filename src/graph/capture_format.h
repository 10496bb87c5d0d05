#pragma once

#include <cstdint>

namespace vlx {

// vlx_SetDevCapConfig: the requested format applied to the active slot's
// device (formats/cap_config.h), with what it answers. Once a format was
// offered the grabber may be connected again, so a frame held from before
// belongs to another connection: the grabber's own held sample is dropped
// (buffering off and on again, unreported, on a stopped slot: vlx_Play and
// vlx_Play2 switch it on anyway) and the slot's observers are told.
int32_t set_capture_format();

}  // namespace vlx
