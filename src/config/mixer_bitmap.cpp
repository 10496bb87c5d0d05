#include "config/mixer_bitmap.h"

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "library/library_state.h"
#include "library/slot_vocabulary.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

constexpr int32_t kNoMixerBitmap = -8;

// The four failures SetAlphaBitmap's caller is told apart by small codes;
// every other answer, success codes included, passes unchanged.
int32_t translated(HRESULT status) {
    switch (status) {
    case E_INVALIDARG: return -4;
    case E_POINTER: return -5;
    case E_OUTOFMEMORY: return -6;
    case E_FAIL: return -7;
    default: return status;
    }
}

// VMR7 and VMR9 name the same layout differently: VMRALPHABITMAP with
// VMRBITMAP_* flags, VMR9AlphaBitmap with VMR9AlphaBitmap_* flags.
struct MixerKind {
    const IID& iid;
    const char* query_context;
    const char* set_context;
    DWORD hdc_flag;
    DWORD color_key_flag;
};

template <class Mixer, class Bitmap>
int32_t set_alpha_bitmap(IBaseFilter* vmr, const MixerKind& kind, const MixImageRequest& r) {
    ComPtr<Mixer> mixer;
    const HRESULT asked =
        reported_call(kind.query_context, [&] { return vmr->QueryInterface(kind.iid, mixer.put_void()); });
    if (FAILED(asked) || !mixer) return kNoMixerBitmap;  // never call through a missing interface

    Bitmap bitmap{};  // pDDS null; VMR9's dwFilterMode unset, its flag never given
    bitmap.dwFlags = r.use_color_key == 1 ? kind.hdc_flag | kind.color_key_flag : kind.hdc_flag;
    bitmap.hdc = r.source_dc;
    SetRect(&bitmap.rSrc, r.source_left, r.source_top, r.source_right, r.source_bottom);
    bitmap.rDest.left = r.dest_left;
    bitmap.rDest.top = r.dest_top;
    bitmap.rDest.right = r.dest_right;
    bitmap.rDest.bottom = r.dest_bottom;
    bitmap.fAlpha = r.alpha;
    bitmap.clrSrcKey = RGB(r.key_red & 0xFF, r.key_green & 0xFF, r.key_blue & 0xFF);
    return translated(reported_call(kind.set_context, [&] { return mixer->SetAlphaBitmap(&bitmap); }));
}

}  // namespace

int32_t mix_image(const MixImageRequest& request) {
    Slot& slot = active_slot();
    if (!slot.is_running()) return -1;
    switch (slot.render_mode) {
    case kVmr7:
        if (!slot.vmr7_filter) return -3;
        return set_alpha_bitmap<IVMRMixerBitmap, VMRALPHABITMAP>(
            slot.vmr7_filter.get(),
            {.iid = IID_IVMRMixerBitmap,
             .query_context = "vlx_VMRMixImage->VMR7->QueryInterface(VMRMixerBitmap)",
             .set_context = "vlx_VMRMixImage->VMRMixerBitmap->SetAlphaBitmap",
             .hdc_flag = VMRBITMAP_HDC,
             .color_key_flag = VMRBITMAP_SRCCOLORKEY},
            request);
    case kVmr9:
        if (!slot.vmr9_filter) return -3;
        return set_alpha_bitmap<IVMRMixerBitmap9, VMR9AlphaBitmap>(
            slot.vmr9_filter.get(),
            {.iid = IID_IVMRMixerBitmap9,
             .query_context = "vlx_VMRMixImage->VMR9->QueryInterface(VMRMixerBitmap9)",
             .set_context = "vlx_VMRMixImage->VMRMixerBitmap9->SetAlphaBitmap",
             .hdc_flag = VMR9AlphaBitmap_hDC,
             .color_key_flag = VMR9AlphaBitmap_SrcColorKey},
            request);
    default:
        return -2;  // mode 0, or any mode without a mixing renderer: nothing to mix into
    }
}

}  // namespace vlx
