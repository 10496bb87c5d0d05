// Which capabilities each device offers: the main camera's RGB24 set, one
// set per webcam pixel format, and a typical USB 2 webcam's YUY2 and MJPG.
#pragma once

#include "formats.h"

namespace vlxcam {

enum class FormatSet {
    rgb24,
    yuy2,
    nv12,
    mjpg,
    webcam,       // YUY2 limited by USB 2 bandwidth, then MJPG up to 1080p30
    undecodable,  // one format that no decoder knows
};

Capabilities capabilities_of(FormatSet set);

}  // namespace vlxcam
