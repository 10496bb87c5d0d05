// The test camera's still pin as an outside DirectShow client meets it: its
// sizes, IAMVideoControl on each pin, and what the still pin refuses.
#include "testcam/camera_fixture.h"
#include "common/media_type.h"
#include "vidlox_testcam.h"

namespace vlx_test {
namespace {

class StillPin : public CameraTest {};

TEST_F(StillPin, VideoControlAndStreamConfigOfTheStillPin) {
    FrameRecorder recorder;
    CameraGraph g;
    ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
    ComPtr<IPin> capture, still;
    ASSERT_EQ(g.builder->FindPin(g.camera.get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0, capture.put()), S_OK);
    ASSERT_EQ(g.builder->FindPin(g.camera.get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL, nullptr, FALSE, 0, still.put()), S_OK);
    ComPtr<IAMVideoControl> control;
    ASSERT_EQ(g.camera.query(control), S_OK);
    ComPtr<IPin> foreign;  // the grabber's input: a pin of another filter
    ASSERT_EQ(g.builder->FindPin(g.grabber_filter.get(), PINDIR_INPUT, nullptr, nullptr, FALSE, 0, foreign.put()), S_OK);

    constexpr LONG kTrigger = VideoControlFlag_Trigger, kButton = VideoControlFlag_ExternalTriggerEnable;
    LONG flags = -1;
    const struct {
        const char* what;
        IPin* pin;
        LONG mode;
        HRESULT set;
        LONG caps;  // GetCaps's flags when it succeeds
    } cases[] = {
        {"the capture pin takes no flag", capture.get(), kTrigger, E_INVALIDARG, 0},
        {"the still pin, a flag it lacks", still.get(), VideoControlFlag_FlipVertical, E_INVALIDARG, kTrigger | kButton},
        {"the still pin's trigger, stopped", still.get(), kTrigger, VFW_E_NOT_RUNNING, kTrigger | kButton},
        {"the still pin's button", still.get(), kButton, S_OK, kTrigger | kButton},
        {"a pin of another filter", foreign.get(), 0, E_INVALIDARG, -1},
        {"no pin", nullptr, 0, E_POINTER, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(control->SetMode(c.pin, c.mode), c.set) << c.what;
        const HRESULT asked = control->GetCaps(c.pin, &flags);
        EXPECT_EQ(SUCCEEDED(asked) ? flags : -1, c.caps) << c.what;
    }
    ASSERT_EQ(control->GetMode(still.get(), &flags), S_OK);
    EXPECT_EQ(flags, kButton) << "the button's flag is kept, the trigger's is not";

    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(still.query(config), S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 4);
    vlx::MediaTypePtr type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(config->GetStreamCaps(count, type.put(), reinterpret_cast<BYTE*>(&caps)), S_FALSE);
    ASSERT_EQ(config->GetStreamCaps(0, type.put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(caps.InputSize.cx, 3840);
    // The filter itself, paused: the graph's own Run finishes on a thread of its own.
    ASSERT_TRUE(SUCCEEDED(g.camera->Pause()));
    EXPECT_EQ(config->SetFormat(type.get()), VFW_E_NOT_STOPPED);
    EXPECT_EQ(g.camera->Stop(), S_OK);
}

}  // namespace
}  // namespace vlx_test
