// The mixing renderer controls through the DLL on Wine's real renderers.
// What VMR9 receives from vlx_VMRMixImage is read from Wine's own trace by
// tests/check_mix_trace.py.
#include "dll/capture_fixture.h"
#include "support/message_window.h"

namespace vlx_test {
namespace {

class MixingRenderer : public Capture {
protected:
    int32_t mix() { return v.VMRMixImage(source, 0, 0, 8, 8, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0, 0, 0, 0); }
    int32_t owner() const { return static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle())); }

    MessageWindow host;  // hidden: the VMR9 window stays out of sight
    const HDC source = reinterpret_cast<HDC>(static_cast<intptr_t>(0x10));
};

TEST_F(MixingRenderer, Vmr9AnswersMixImageButHasNoDeinterlaceControl) {
    ASSERT_EQ(v.Open(camera, 2, 0, 1 /* VMR9Mode_Windowed */, 1), 0);
    EXPECT_EQ(mix(), -1) << "built, not running";
    ASSERT_GE(v.Play(owner(), 0, 0, 64, 48), 0);
    char log[512] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    EXPECT_EQ(mix(), E_NOTIMPL) << "Wine 8's SetAlphaBitmap is a stub; its answer comes back unchanged";
    EXPECT_STREQ(log,
                 "1 vlx_VMRMixImage->VMR9->QueryInterface(VMRMixerBitmap9) = S_OK\r\n"
                 "1 vlx_VMRMixImage->VMRMixerBitmap9->SetAlphaBitmap = E_NOTIMPL\r\n");
    log[0] = '\0';
    EXPECT_EQ(v.SetVMRDeinterlace(2, nullptr), -4) << "Wine's VMR9 has no IVMRDeinterlaceControl9";
    EXPECT_EQ(v.SetVMRDeinterlace(0, nullptr), -4);
    EXPECT_STREQ(log, "") << "the deinterlace control reports nothing";
}

TEST_F(MixingRenderer, RefusalsWithoutAMixingRenderer) {
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(v.SetVMRDeinterlace(2, nullptr), -1) << "not initialised";
    ASSERT_EQ(v.Init(), 0);
    EXPECT_EQ(mix(), -1) << "never opened";

    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    EXPECT_EQ(mix(), -2) << "running, Null Renderer";
    EXPECT_EQ(v.SetVMRDeinterlace(2, nullptr), -2);
    ASSERT_EQ(v.Close(), 0);

    // Wine's VMR7 stops the open at SetNumberOfStreams; the slot keeps mode 1
    // with no renderer in it.
    ASSERT_EQ(v.Open(camera, 1, 0, 1 /* VMRMode_Windowed */, 1), -88);
    EXPECT_EQ(v.SetVMRDeinterlace(2, nullptr), -3);
    EXPECT_EQ(mix(), -1);
}

}  // namespace
}  // namespace vlx_test
