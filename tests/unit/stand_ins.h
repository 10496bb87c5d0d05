// Small COM objects standing in for platform pieces Wine 8 lacks: the
// mixing renderers' mixer-bitmap and deinterlace interfaces, and a video
// compressor that offers IAMVfwCompressDialogs.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vlx_test {

using vlx::ComPtr;

// What a stand-in mixing renderer was asked and handed. Every method answers
// `answer`.
struct RendererCalls {
    HRESULT answer = S_OK;
    std::vector<IID> asked;  // interfaces asked for, in order
    std::optional<VMRALPHABITMAP> bitmap;
    std::optional<DWORD> prefs;
    std::optional<std::pair<DWORD, GUID>> mode;  // stream id, mode
};

// VMR7 with the IVMRMixerBitmap and IVMRDeinterlaceControl that Wine's lacks.
ComPtr<IBaseFilter> make_vmr7_stand_in(RendererCalls& calls);
// VMR9 with the IVMRDeinterlaceControl9 that Wine's lacks.
ComPtr<IBaseFilter> make_vmr9_stand_in(RendererCalls& calls);

struct DialogCall {
    const void* compressor;  // the object whose ShowDialog ran
    int dialog;
    HWND owner;
};

// A video compressor that offers IAMVfwCompressDialogs, listed under `name`
// in the video compressor category for the life of this object and created
// through a class object of this process (the calling thread's apartment).
class StandInCompressor {
public:
    explicit StandInCompressor(const wchar_t* name);
    ~StandInCompressor();
    StandInCompressor(const StandInCompressor&) = delete;
    StandInCompressor& operator=(const StandInCompressor&) = delete;

    bool listed() const { return listed_; }
    int instances() const { return instances_; }  // compressors created so far
    HRESULT& answer() { return answer_; }         // what ShowDialog answers
    const std::vector<DialogCall>& dialogs() const { return dialogs_; }

private:
    class Factory;
    friend class Factory;
    std::wstring name_;
    bool listed_ = false;
    DWORD cookie_ = 0;
    IClassFactory* factory_ = nullptr;
    int instances_ = 0;
    HRESULT answer_ = S_OK;
    std::vector<DialogCall> dialogs_;
};

}  // namespace vlx_test
