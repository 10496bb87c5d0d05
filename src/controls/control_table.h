// The controls a host can name: the id the public header gives each one, the
// platform interface and property behind it, and the name the list shows.
#pragma once

#include "common/directshow.h"

#include <cstdint>
#include <span>

namespace vlx {

// Which of the capture filter's two control interfaces carries a control.
enum class ControlFamily { video_proc_amp, camera_control };

struct ControlInfo {
    int32_t id;  // VLX_CONTROL_*
    const char* name;
    ControlFamily family;
    LONG property;  // VideoProcAmpProperty or CameraControlProperty
};

// Every control, in ascending id order.
std::span<const ControlInfo> all_controls();
// The control with that id, or null.
const ControlInfo* find_control(int32_t id);

}  // namespace vlx
