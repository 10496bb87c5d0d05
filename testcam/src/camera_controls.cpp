#include "camera_controls.h"

#include "comkit/com_base.h"
#include "vidlox_testcam.h"

#include <array>

namespace vlxcam {

namespace {

constexpr LONG kAuto = CameraControl_Flags_Auto;      // VideoProcAmp_Flags_Auto too
constexpr LONG kManual = CameraControl_Flags_Manual;  // VideoProcAmp_Flags_Manual too
static_assert(kAuto == VideoProcAmp_Flags_Auto && kManual == VideoProcAmp_Flags_Manual);

// The coarse device keeps only every fourth step of what it states.
constexpr LONG kCoarseSteps = VLXCAM_COARSE_STEPS;

constexpr auto kProcAmp = ControlFamily::video_proc_amp;
constexpr auto kCamera = ControlFamily::camera_control;

// What a USB webcam's driver typically states (family, property, minimum,
// maximum, step, default, automatic mode offered).
constexpr ControlSetting kWebcamSettings[] = {
    {kProcAmp, VideoProcAmp_Brightness, 0, 255, 1, VLXCAM_DEFAULT_BRIGHTNESS, false},
    {kProcAmp, VideoProcAmp_Contrast, 0, 255, 1, 128, false},
    {kProcAmp, VideoProcAmp_Saturation, 0, 255, 1, 128, false},
    {kProcAmp, VideoProcAmp_Sharpness, 0, 255, 1, 128, false},
    {kProcAmp, VideoProcAmp_Gamma, 72, 500, 1, 100, false},
    {kProcAmp, VideoProcAmp_WhiteBalance, 2800, 6500, 10, 4600, true},
    {kProcAmp, VideoProcAmp_BacklightCompensation, 0, 1, 1, 0, false},
    {kProcAmp, VideoProcAmp_Gain, 0, 255, 1, 0, false},
    {kCamera, CameraControl_Pan, -36000, 36000, 3600, 0, false},
    {kCamera, CameraControl_Tilt, -36000, 36000, 3600, 0, false},
    {kCamera, CameraControl_Zoom, 100, 500, 1, 100, false},
    {kCamera, CameraControl_Exposure, -13, -1, 1, -6, true},
    {kCamera, CameraControl_Focus, 10, 250, 8, 50, true},
};

// Set calls that reached any filter of this DLL (vlxcam_ControlSetCalls).
std::atomic<int32_t> g_set_calls{0};

}  // namespace

CameraControls::CameraControls(IUnknown& filter, const DeviceProfile& profile)
    : has_settings_(profile.quirk != Quirk::no_pins), rounds_coarser_(profile.quirk == Quirk::coarse_controls),
      settings_(std::to_array(kWebcamSettings)), proc_amp_(filter, *this), camera_(filter, *this) {}

HRESULT CameraControls::query(REFIID iid, void** out) {
    if (!has_settings_) return E_NOINTERFACE;
    if (IsEqualIID(iid, IID_IAMVideoProcAmp)) return vlxcom::hand_out<IAMVideoProcAmp>(&proc_amp_, out);
    if (IsEqualIID(iid, IID_IAMCameraControl)) return vlxcom::hand_out<IAMCameraControl>(&camera_, out);
    return E_NOINTERFACE;
}

ControlSetting* CameraControls::find(ControlFamily family, LONG property) {
    for (ControlSetting& setting : settings_) {
        if (setting.family == family && setting.property == property) return &setting;
    }
    return nullptr;
}

LONG CameraControls::held_value(const ControlSetting& setting, LONG value) const {
    if (!rounds_coarser_) return value;
    const LONG coarse = setting.step * kCoarseSteps;
    return setting.minimum + (value - setting.minimum) / coarse * coarse;
}

HRESULT CameraControls::get_range(ControlFamily family, LONG property, LONG* minimum, LONG* maximum, LONG* step,
                                  LONG* default_value, LONG* flags) {
    if (!minimum || !maximum || !step || !default_value || !flags) return E_POINTER;
    std::lock_guard guard(lock_);
    const ControlSetting* setting = find(family, property);
    if (!setting) return E_PROP_ID_UNSUPPORTED;
    *minimum = setting->minimum;
    *maximum = setting->maximum;
    *step = setting->step;
    *default_value = setting->default_value;
    *flags = setting->auto_capable ? kAuto | kManual : kManual;
    return S_OK;
}

HRESULT CameraControls::set(ControlFamily family, LONG property, LONG value, LONG flags) {
    ++g_set_calls;
    std::lock_guard guard(lock_);
    ControlSetting* setting = find(family, property);
    if (!setting) return E_PROP_ID_UNSUPPORTED;
    if (flags == kAuto && setting->auto_capable) {
        // The automatic setting settles on the default.
        setting->value = setting->default_value;
    } else if (flags == kManual) {
        // As a UVC device stalls the request, this one refuses a value it
        // does not state.
        if (value < setting->minimum || value > setting->maximum || (value - setting->minimum) % setting->step != 0)
            return E_INVALIDARG;
        setting->value = held_value(*setting, value);
    } else {
        return E_INVALIDARG;
    }
    setting->mode = flags;
    if (family == ControlFamily::video_proc_amp && property == VideoProcAmp_Brightness)
        stripe_offset_ = setting->value - setting->default_value;
    return S_OK;
}

HRESULT CameraControls::get(ControlFamily family, LONG property, LONG* value, LONG* flags) {
    if (!value || !flags) return E_POINTER;
    std::lock_guard guard(lock_);
    const ControlSetting* setting = find(family, property);
    if (!setting) return E_PROP_ID_UNSUPPORTED;
    *value = setting->value;
    *flags = setting->mode;
    return S_OK;
}

template <class Interface, ControlFamily family>
STDMETHODIMP ControlFace<Interface, family>::GetRange(LONG property, LONG* minimum, LONG* maximum, LONG* step,
                                                      LONG* default_value, LONG* flags) {
    return controls_.get_range(family, property, minimum, maximum, step, default_value, flags);
}

template <class Interface, ControlFamily family>
STDMETHODIMP ControlFace<Interface, family>::Set(LONG property, LONG value, LONG flags) {
    return controls_.set(family, property, value, flags);
}

template <class Interface, ControlFamily family>
STDMETHODIMP ControlFace<Interface, family>::Get(LONG property, LONG* value, LONG* flags) {
    return controls_.get(family, property, value, flags);
}

template class ControlFace<IAMVideoProcAmp, ControlFamily::video_proc_amp>;
template class ControlFace<IAMCameraControl, ControlFamily::camera_control>;

}  // namespace vlxcam

extern "C" int32_t __cdecl vlxcam_ControlSetCalls(void) { return vlxcam::g_set_calls.load(); }
