#include "controls/control_table.h"

#include "vidlox.h"

namespace vlx {

namespace {

// The camera control ids are the platform's property numbers plus this.
constexpr int32_t kCameraControlBase = VLX_CONTROL_PAN;

constexpr ControlInfo kControls[] = {
    {VLX_CONTROL_BRIGHTNESS, "brightness", ControlFamily::video_proc_amp, VideoProcAmp_Brightness},
    {VLX_CONTROL_CONTRAST, "contrast", ControlFamily::video_proc_amp, VideoProcAmp_Contrast},
    {VLX_CONTROL_HUE, "hue", ControlFamily::video_proc_amp, VideoProcAmp_Hue},
    {VLX_CONTROL_SATURATION, "saturation", ControlFamily::video_proc_amp, VideoProcAmp_Saturation},
    {VLX_CONTROL_SHARPNESS, "sharpness", ControlFamily::video_proc_amp, VideoProcAmp_Sharpness},
    {VLX_CONTROL_GAMMA, "gamma", ControlFamily::video_proc_amp, VideoProcAmp_Gamma},
    {VLX_CONTROL_COLOR_ENABLE, "color_enable", ControlFamily::video_proc_amp, VideoProcAmp_ColorEnable},
    {VLX_CONTROL_WHITE_BALANCE, "white_balance", ControlFamily::video_proc_amp, VideoProcAmp_WhiteBalance},
    {VLX_CONTROL_BACKLIGHT_COMPENSATION, "backlight_compensation", ControlFamily::video_proc_amp,
     VideoProcAmp_BacklightCompensation},
    {VLX_CONTROL_GAIN, "gain", ControlFamily::video_proc_amp, VideoProcAmp_Gain},
    {VLX_CONTROL_PAN, "pan", ControlFamily::camera_control, CameraControl_Pan},
    {VLX_CONTROL_TILT, "tilt", ControlFamily::camera_control, CameraControl_Tilt},
    {VLX_CONTROL_ROLL, "roll", ControlFamily::camera_control, CameraControl_Roll},
    {VLX_CONTROL_ZOOM, "zoom", ControlFamily::camera_control, CameraControl_Zoom},
    {VLX_CONTROL_EXPOSURE, "exposure", ControlFamily::camera_control, CameraControl_Exposure},
    {VLX_CONTROL_IRIS, "iris", ControlFamily::camera_control, CameraControl_Iris},
    {VLX_CONTROL_FOCUS, "focus", ControlFamily::camera_control, CameraControl_Focus},
};

constexpr bool ids_follow_the_platform() {
    int32_t previous = -1;
    for (const ControlInfo& control : kControls) {
        const int32_t base = control.family == ControlFamily::camera_control ? kCameraControlBase : 0;
        if (control.id != base + control.property || control.id <= previous) return false;
        previous = control.id;
    }
    return true;
}
static_assert(ids_follow_the_platform(), "ids are the platform's property numbers (+100 for the camera's), ascending");

}  // namespace

std::span<const ControlInfo> all_controls() { return kControls; }

const ControlInfo* find_control(int32_t id) {
    for (const ControlInfo& control : kControls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

}  // namespace vlx
