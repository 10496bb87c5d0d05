// Property frames, the compressor's dialogs and the mixing renderer controls
// in-process: the failure codes only fault injection can produce, and the
// success paths Wine 8 cannot take, through stand-ins for the interfaces it
// lacks.
#include "support/frame_watcher.h"
#include "support/message_window.h"
#include "unit/capture_harness.h"
#include "unit/stand_ins.h"

#include <string>

namespace vlx_test {
namespace {

constexpr const wchar_t* kPageText = L"RGB24 640 x 480, 30.00 frames per second";

struct FrameFault {
    const char* key;
    HRESULT status;
    bool pin;  // vlx_DevPinProp, else vlx_FilterProp("Device Filter")
    int32_t expected;
};

TEST_F(InProcessCapture, PropertyFrameFailuresShowNoFrame) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    const FrameFault faults[] = {
        {"vlx_FilterProp->GraphBuilder->FindFilterByName(VideoRenderer)", VFW_E_NOT_FOUND, false, -2},
        {"vlx_FilterProp->VideoRenderer->QueryInterface(SpecifyPropertyPages)", E_NOINTERFACE, false, -2},
        {"vlx_FilterProp.SpecifyPropertyPages.GetPages", E_OUTOFMEMORY, false, -2},
        {"vlx_DevPinProp->DeviceFilter->EnumPins", E_FAIL, true, -2},
        {"vlx_DevPinProp->DeviceFilter->EnumPins", S_FALSE, true, -2},
        {"vlx_DevPinProp.EnumPins.Reset", VFW_E_ENUM_OUT_OF_SYNC, true, -3},
        {"vlx_DevPinProp.EnumPins.Next", S_FALSE, true, -4},
        {"vlx_DevPinProp->SourceOut->QueryInterface(SpecifyPropertyPages)", E_NOINTERFACE, true, -5},
        {"vlx_DevPinProp.SpecifyPropertyPages.GetPages", E_FAIL, true, -5},
    };
    for (const FrameFault& f : faults) {
        vlx::fault::clear_all();
        vlx::fault::arm(f.key, f.status, 0, 1);
        EXPECT_EQ(f.pin ? vlx_DevPinProp(nullptr) : vlx_FilterProp(nullptr, L"Device Filter"), f.expected) << f.key;
        EXPECT_EQ(vlx::fault::attempts(f.key), 1) << f.key;
        EXPECT_EQ(vlx::fault::attempts("vlx_FilterProp.OleCreatePropertyFrame") +
                      vlx::fault::attempts("vlx_DevPinProp.OleCreatePropertyFrame"),
                  0)
            << f.key;
    }

    vlx::Slot& slot = vlx::active_slot();
    vlx::ComPtr<IGraphBuilder> graph = std::move(slot.graph_builder);
    EXPECT_EQ(vlx_FilterProp(nullptr, L"Device Filter"), -3);
    slot.graph_builder = std::move(graph);
    vlx::ComPtr<IBaseFilter> device = std::move(slot.device_filter);
    EXPECT_EQ(vlx_DevPinProp(nullptr), -6);
    slot.device_filter = std::move(device);
}

TEST_F(InProcessCapture, FilterFrameWithoutFilterInfoIsCaptionedWithTheNameAsked) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    MessageWindow host;
    vlx::fault::arm("vlx_FilterProp->VideoRenderer->QueryFilterInfo", E_FAIL, 0, 1);
    FrameWatcher watcher(kPageText);
    EXPECT_EQ(vlx_FilterProp(host.handle(), L"Device Filter"), 0);
    const FrameSeen seen = watcher.finish();
    ASSERT_TRUE(seen.found);
    EXPECT_NE(seen.caption.find(L"Device Filter"), std::wstring::npos);
    EXPECT_EQ(vlx_GetLastError(), E_FAIL) << "the failure was reported";
}

// The stand-in compressor offers the dialogs Wine's compressors lack; the
// two AVI calls Wine's capture graph builder cannot make are stood in for.
TEST_F(InProcessCapture, CodecDialogReachesTheCompressorInTheGraph) {
    const wchar_t* name = L"vidlox stand-in compressor";
    StandInCompressor compressor(name);
    ASSERT_TRUE(compressor.listed());
    vlx::fault::arm("vlx_Open->CaptureGraphBuilder2->SetOutputFileName(AVI)", S_OK);
    vlx::fault::arm("vlx_Open->CaptureGraphBuilder2->RenderStream(AVI)", S_OK);
    EXPECT_EQ(vlx_CodecDialog(nullptr, 1), -1) << "before any open";
    ASSERT_EQ(vlx_Open(camera, 300, 0, reinterpret_cast<intptr_t>(L"unused.avi"), reinterpret_cast<intptr_t>(name)),
              0);
    EXPECT_EQ(compressor.instances(), 1) << "one compressor: the one in the graph";

    const vlx::Slot& slot = vlx::active_slot();
    vlx::ComPtr<IBaseFilter> in_graph;
    ASSERT_EQ(slot.graph_builder->FindFilterByName(name, in_graph.put()), S_OK);
    EXPECT_EQ(in_graph.get(), slot.avi_compressor.get());
    vlx::ComPtr<IAMVfwCompressDialogs> dialogs;
    ASSERT_EQ(in_graph->QueryInterface(IID_IAMVfwCompressDialogs, dialogs.put_void()), S_OK);
    EXPECT_EQ(dialogs.get(), slot.compress_dialogs.get());

    MessageWindow host;
    char log[512] = "";
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(2);
    const std::pair<int32_t, HRESULT> calls[] = {
        {VfwCompressDialog_Config, S_OK},       {VfwCompressDialog_About, S_OK},
        {VfwCompressDialog_QueryConfig, S_FALSE}, {VfwCompressDialog_QueryAbout, S_OK},
        {VfwCompressDialog_Config, E_FAIL},     {77, E_NOTIMPL},
    };
    for (const auto& [dialog, answer] : calls) {
        compressor.answer() = answer;
        EXPECT_EQ(vlx_CodecDialog(host.handle(), dialog), answer) << dialog;
        ASSERT_FALSE(compressor.dialogs().empty());
        const DialogCall& shown = compressor.dialogs().back();
        EXPECT_EQ(shown.compressor, dialogs.get());
        EXPECT_EQ(shown.dialog, dialog);
        EXPECT_EQ(shown.owner, host.handle());
    }
    EXPECT_EQ(compressor.dialogs().size(), std::size(calls));
    EXPECT_EQ(std::string(log).find("1 vlx_CodecDialog->VFW->ShowDialog = S_OK\r\n"), 0u);
    EXPECT_EQ(vlx_GetLastError(), E_NOTIMPL);

    ASSERT_EQ(vlx_Close(), 0);
    EXPECT_EQ(vlx_CodecDialog(host.handle(), 1), -1) << "closed: no dialogs";
}

// The active slot made to look running with `filter` as the mixing renderer
// of `mode`, for the life of this object.
class MixingSlot {
public:
    MixingSlot(int32_t mode, vlx::ComPtr<IBaseFilter> filter) : slot_(vlx::active_slot()) {
        slot_.render_mode = mode;
        (mode == 1 ? slot_.vmr7_filter : slot_.vmr9_filter) = std::move(filter);
        slot_.slot_state = vlx::kSlotRunning;
    }
    ~MixingSlot() {
        slot_.vmr7_filter.reset();
        slot_.vmr9_filter.reset();
        slot_.slot_state = vlx::kSlotClosed;
        slot_.render_mode = 0;
    }

private:
    vlx::Slot& slot_;
};

vlx::ComPtr<IBaseFilter> platform_filter(const CLSID& clsid) {
    vlx::ComPtr<IBaseFilter> filter;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void());
    return filter;
}

const auto kSourceDc = reinterpret_cast<HDC>(static_cast<intptr_t>(0x5a5a10));

TEST_F(InProcessCapture, Vmr9MixImageCodesThroughTheSeam) {
    MessageWindow host;  // hidden: the VMR9 window stays out of sight
    ASSERT_EQ(vlx_Open(camera, 2, 0, 1 /* VMR9Mode_Windowed */, 1), 0);
    const auto mix = [] { return vlx_VMRMixImage(kSourceDc, 0, 0, 8, 8, 1.0f, 0, 0, 1, 1, 0, 0, 0, 0); };
    EXPECT_EQ(mix(), -1) << "built, not running";
    ASSERT_GE(vlx_Play(static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle())), 0, 0, 64, 48), 0);
    const std::pair<HRESULT, int32_t> answers[] = {
        {E_INVALIDARG, -4}, {E_POINTER, -5}, {E_OUTOFMEMORY, -6}, {E_FAIL, -7},
        {S_OK, 0},          {S_FALSE, 1},    {VFW_E_WRONG_STATE, VFW_E_WRONG_STATE},
    };
    for (const auto& [answer, expected] : answers) {
        vlx::fault::arm("vlx_VMRMixImage->VMRMixerBitmap9->SetAlphaBitmap", answer, 0, 1);
        EXPECT_EQ(mix(), expected) << std::hex << answer;
        EXPECT_EQ(vlx_GetLastError(), answer) << "the platform's code is reported untranslated";
    }
    vlx::fault::arm("vlx_VMRMixImage->VMR9->QueryInterface(VMRMixerBitmap9)", E_NOINTERFACE, 0, 1);
    EXPECT_EQ(mix(), -8);
    EXPECT_EQ(vlx::fault::attempts("vlx_VMRMixImage->VMRMixerBitmap9->SetAlphaBitmap"),
              static_cast<int>(std::size(answers)));
}

struct BitmapCase {
    int32_t use_color_key, red, green, blue;
    DWORD flags;
    COLORREF key;
};

// Wine's VMR7 has no mixer bitmap: the query fails and SetAlphaBitmap is
// never called. The stand-in shows what a VMR7 that has one receives.
TEST_F(InProcessCapture, Vmr7MixImageFillsTheBitmapDescription) {
    {
        MixingSlot wine_vmr7(1, platform_filter(CLSID_VideoMixingRenderer));
        EXPECT_EQ(vlx_VMRMixImage(kSourceDc, 0, 0, 8, 8, 1.0f, 0, 0, 1, 1, 1, 0, 0, 0), -8);
        EXPECT_EQ(vlx_GetLastError(), E_NOINTERFACE);
        EXPECT_EQ(vlx::fault::attempts("vlx_VMRMixImage->VMRMixerBitmap->SetAlphaBitmap"), 0);
    }
    const BitmapCase cases[] = {
        {1, 255, 0, 0, VMRBITMAP_HDC | VMRBITMAP_SRCCOLORKEY, 0x0000FF},
        {0, 0x1FF, 0x100, 0x2AB, VMRBITMAP_HDC, 0xAB00FF},
        {2, 1, 2, 3, VMRBITMAP_HDC, 0x030201},
        {-1, 0x80, 0x40, 0x20, VMRBITMAP_HDC, 0x204080},
    };
    for (const BitmapCase& c : cases) {
        RendererCalls calls;
        MixingSlot stand_in(1, make_vmr7_stand_in(calls));
        EXPECT_EQ(vlx_VMRMixImage(kSourceDc, 10, 20, 110, 70, 0.5f, 0.0f, 0.0f, 0.5f, 0.25f, c.use_color_key, c.red,
                                  c.green, c.blue),
                  0);
        ASSERT_TRUE(calls.bitmap);
        const VMRALPHABITMAP& b = *calls.bitmap;
        EXPECT_EQ(b.dwFlags, c.flags) << c.use_color_key;
        EXPECT_EQ(b.clrSrcKey, c.key) << c.use_color_key;
        EXPECT_EQ(b.hdc, kSourceDc);
        EXPECT_EQ(b.pDDS, nullptr);
        EXPECT_EQ(b.rSrc.left, 10);
        EXPECT_EQ(b.rSrc.top, 20);
        EXPECT_EQ(b.rSrc.right, 110);
        EXPECT_EQ(b.rSrc.bottom, 70);
        EXPECT_EQ(b.rDest.left, 0.0f);
        EXPECT_EQ(b.rDest.top, 0.0f);
        EXPECT_EQ(b.rDest.right, 0.5f);
        EXPECT_EQ(b.rDest.bottom, 0.25f);
        EXPECT_EQ(b.fAlpha, 0.5f);
    }
    RendererCalls failing{E_INVALIDARG};
    MixingSlot stand_in(1, make_vmr7_stand_in(failing));
    EXPECT_EQ(vlx_VMRMixImage(kSourceDc, 0, 0, 1, 1, 1.0f, 0, 0, 1, 1, 0, 0, 0, 0), -4);
    EXPECT_EQ(vlx_GetLastError(), E_INVALIDARG);
}

TEST_F(InProcessCapture, MixImageWithoutAMixingRenderer) {
    for (int32_t mode : {0, 6, 300, 301, 5}) {
        MixingSlot running(mode, nullptr);
        EXPECT_EQ(vlx_VMRMixImage(kSourceDc, 0, 0, 1, 1, 1.0f, 0, 0, 1, 1, 0, 0, 0, 0), -2) << mode;
    }
    for (int32_t mode : {1, 2}) {
        MixingSlot running(mode, nullptr);
        EXPECT_EQ(vlx_VMRMixImage(kSourceDc, 0, 0, 1, 1, 1.0f, 0, 0, 1, 1, 0, 0, 0, 0), -3) << mode;
    }
}

struct DeinterlaceCase {
    int32_t mode;
    vlx::ComPtr<IBaseFilter> (*make)(RendererCalls&);
    const IID& control;
};

TEST_F(InProcessCapture, DeinterlaceReachesTheControlOfEachRenderer) {
    const GUID bob_mode = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    char log[256] = "";
    vlx_SetLogBuffer(log, sizeof log);
    vlx_SetLogLevel(2);
    const DeinterlaceCase cases[] = {{1, make_vmr7_stand_in, IID_IVMRDeinterlaceControl},
                                     {2, make_vmr9_stand_in, IID_IVMRDeinterlaceControl9}};
    for (const DeinterlaceCase& c : cases) {
        RendererCalls calls{S_FALSE};
        MixingSlot slot(c.mode, c.make(calls));
        EXPECT_EQ(vlx_SetVMRDeinterlace(2, &bob_mode), S_FALSE) << c.mode;
        EXPECT_EQ(calls.prefs, 2u);
        EXPECT_FALSE(calls.mode) << "the GUID is ignored when preferences are given";
        ASSERT_FALSE(calls.asked.empty());
        EXPECT_EQ(calls.asked.back(), c.control);

        calls.prefs.reset();
        calls.answer = E_FAIL;
        EXPECT_EQ(vlx_SetVMRDeinterlace(0, nullptr), E_FAIL) << "returned untranslated";
        ASSERT_TRUE(calls.mode);
        EXPECT_EQ(calls.mode->first, 0xFFFFFFFFu);
        EXPECT_EQ(calls.mode->second, GUID_NULL);
        EXPECT_EQ(vlx_SetVMRDeinterlace(0, &bob_mode), E_FAIL);
        EXPECT_EQ(calls.mode->second, bob_mode);
        EXPECT_FALSE(calls.prefs);
    }
    // Wine's own renderers offer no deinterlace control.
    for (const auto& [mode, clsid] : {std::pair{1, CLSID_VideoMixingRenderer}, std::pair{2, CLSID_VideoMixingRenderer9}}) {
        MixingSlot wine_renderer(mode, platform_filter(clsid));
        EXPECT_EQ(vlx_SetVMRDeinterlace(2, nullptr), -4) << mode;
    }
    EXPECT_STREQ(log, "") << "nothing is reported";
}

}  // namespace
}  // namespace vlx_test
