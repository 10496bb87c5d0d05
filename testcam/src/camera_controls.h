// The camera's own settings, as a UVC webcam's driver exposes them on the
// capture filter: IAMVideoProcAmp and IAMCameraControl. The values are the
// filter's state; brightness also changes the picture (the public header has
// the table and the effect).
#pragma once

#include "profiles.h"

#include <windows.h>
#include <dshow.h>

#include <array>
#include <atomic>
#include <mutex>

namespace vlxcam {

enum class ControlFamily { video_proc_amp, camera_control };

// What the device states for one property, and what it holds now.
struct ControlSetting {
    ControlFamily family;
    LONG property;
    LONG minimum;
    LONG maximum;
    LONG step;
    LONG default_value;
    bool auto_capable;
    LONG value = default_value;
    // Settings that can be automatic start that way, as webcams do.
    LONG mode = auto_capable ? CameraControl_Flags_Auto : CameraControl_Flags_Manual;
};

class CameraControls;

// One of the two interfaces; both have the same methods. Its IUnknown is
// the filter's: one identity and one reference count, as with the pins.
template <class Interface, ControlFamily family>
class ControlFace final : public Interface {
public:
    ControlFace(IUnknown& filter, CameraControls& controls) : filter_(filter), controls_(controls) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return filter_.QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return filter_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return filter_.Release(); }

    STDMETHODIMP GetRange(LONG property, LONG* minimum, LONG* maximum, LONG* step, LONG* default_value,
                          LONG* flags) override;
    STDMETHODIMP Set(LONG property, LONG value, LONG flags) override;
    STDMETHODIMP Get(LONG property, LONG* value, LONG* flags) override;

private:
    IUnknown& filter_;
    CameraControls& controls_;
};

class CameraControls {
public:
    CameraControls(IUnknown& filter, const DeviceProfile& profile);
    CameraControls(const CameraControls&) = delete;
    CameraControls& operator=(const CameraControls&) = delete;

    // The filter's answer for the two interfaces: E_NOINTERFACE for any
    // other, and for both on a device that has no settings.
    HRESULT query(REFIID iid, void** out);

    // Brightness above its default: what the painter adds to the stripes.
    // The streaming thread reads it for every frame.
    const std::atomic<int>& stripe_offset() const { return stripe_offset_; }

    HRESULT get_range(ControlFamily family, LONG property, LONG* minimum, LONG* maximum, LONG* step,
                      LONG* default_value, LONG* flags);
    HRESULT set(ControlFamily family, LONG property, LONG value, LONG flags);
    HRESULT get(ControlFamily family, LONG property, LONG* value, LONG* flags);

private:
    static constexpr int kSettingCount = 13;

    ControlSetting* find(ControlFamily family, LONG property);
    // The value the device keeps for a valid manual `value`.
    LONG held_value(const ControlSetting& setting, LONG value) const;

    bool has_settings_;
    bool rounds_coarser_;
    std::mutex lock_;  // the filter's control calls may come from any thread
    std::array<ControlSetting, kSettingCount> settings_;
    std::atomic<int> stripe_offset_{0};
    ControlFace<IAMVideoProcAmp, ControlFamily::video_proc_amp> proc_amp_;
    ControlFace<IAMCameraControl, ControlFamily::camera_control> camera_;
};

}  // namespace vlxcam
