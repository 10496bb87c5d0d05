// The device filter's control interfaces, as one export reaches them: each
// call reported under that export's own context strings.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "controls/control_table.h"

#include <cstdint>

namespace vlx {

// The context strings of one export's calls on one interface.
struct InterfaceContexts {
    const char* query;  // the device filter's QueryInterface
    const char* get_range;
    const char* get;
    const char* set;
};

// An export's contexts for both interfaces.
struct ExportContexts {
    InterfaceContexts video_proc_amp;
    InterfaceContexts camera_control;

    const InterfaceContexts& of(ControlFamily family) const {
        return family == ControlFamily::camera_control ? camera_control : video_proc_amp;
    }
};

struct ControlRange {
    LONG minimum = 0;
    LONG maximum = 0;
    LONG step = 0;
    LONG default_value = 0;
    LONG modes = 0;  // the capability flags
};

// A property answer that means the device does not have it.
bool lacks_property(HRESULT status);

// One control interface of a device filter, asked for once.
class DeviceControls {
public:
    DeviceControls(IBaseFilter* device, ControlFamily family, const InterfaceContexts& contexts);
    bool present() const { return proc_amp_ || camera_; }

    HRESULT get_range(LONG property, ControlRange& range) const;
    HRESULT get(LONG property, LONG& value, LONG& mode) const;
    HRESULT set(LONG property, LONG value, LONG mode) const;

private:
    // `call` made on whichever interface this is, reported under `context`.
    template <class Call>
    HRESULT on_interface(const char* context, Call&& call) const;

    // A copy: the object may outlive the table its export passed in.
    const InterfaceContexts contexts_;
    ComPtr<IAMVideoProcAmp> proc_amp_;
    ComPtr<IAMCameraControl> camera_;
};

}  // namespace vlx
