#include "config/deinterlace.h"

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "library/library_state.h"
#include "library/slot_vocabulary.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

constexpr DWORD kAllStreams = 0xFFFFFFFF;

struct ControlKind {
    const IID& iid;
    StepName query_step;
    StepName prefs_step;
    StepName mode_step;
};

// None of these calls is reported: the host gets the platform's answer as
// the result instead.
template <class Control>
int32_t set_on(IBaseFilter* vmr, const ControlKind& kind, uint32_t prefs, const GUID* mode_guid) {
    if (!vmr) return -3;
    ComPtr<Control> control;
    const HRESULT asked = platform_call(kind.query_step, [&] { return vmr->QueryInterface(kind.iid, control.put_void()); });
    if (FAILED(asked) || !control) return -4;  // never call through a missing interface
    if (prefs != 0) return platform_call(kind.prefs_step, [&] { return control->SetDeinterlacePrefs(prefs); });
    GUID mode = mode_guid ? *mode_guid : GUID_NULL;  // the method takes a non-const GUID*
    return platform_call(kind.mode_step, [&] { return control->SetDeinterlaceMode(kAllStreams, &mode); });
}

}  // namespace

// The slot state is not looked at: a vlx_Open that failed in a VMR step
// leaves the slot closed with the new render mode and no filter, which gives
// -3.
int32_t set_deinterlace(uint32_t deinterlace_prefs, const GUID* mode_guid) {
    if (!library_initialised()) return -1;
    Slot& slot = active_slot();
    switch (slot.render_mode) {
    case kVmr7:
        return set_on<IVMRDeinterlaceControl>(
            slot.vmr7_filter.get(),
            {.iid = IID_IVMRDeinterlaceControl,
             .query_step = "vlx_SetVMRDeinterlace.VMR7.QueryInterface(VMRDeinterlaceControl)",
             .prefs_step = "vlx_SetVMRDeinterlace.VMRDeinterlaceControl.SetDeinterlacePrefs",
             .mode_step = "vlx_SetVMRDeinterlace.VMRDeinterlaceControl.SetDeinterlaceMode"},
            deinterlace_prefs, mode_guid);
    case kVmr9:
        return set_on<IVMRDeinterlaceControl9>(
            slot.vmr9_filter.get(),
            {.iid = IID_IVMRDeinterlaceControl9,
             .query_step = "vlx_SetVMRDeinterlace.VMR9.QueryInterface(VMRDeinterlaceControl9)",
             .prefs_step = "vlx_SetVMRDeinterlace.VMRDeinterlaceControl9.SetDeinterlacePrefs",
             .mode_step = "vlx_SetVMRDeinterlace.VMRDeinterlaceControl9.SetDeinterlaceMode"},
            deinterlace_prefs, mode_guid);
    default:
        return -2;
    }
}

}  // namespace vlx
