// Repeated runs and graph builds: no hang and nothing left alive.
#include "camera_fixture.h"
#include "vidlox_testcam.h"

namespace vlx_test {
namespace {

class Lifetime : public CameraTest {};

TEST_F(Lifetime, RunStopHundredTimes) {
    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
        for (int i = 0; i < 100; ++i) {
            ASSERT_TRUE(SUCCEEDED(g.control->Run())) << i;
            if (i % 10 == 0) {
                EXPECT_TRUE(recorder.wait_for_frames(recorder.frame_count() + 1, 5000)) << i;
            }
            ASSERT_TRUE(SUCCEEDED(g.control->Stop())) << i;
        }
    }
    EXPECT_EQ(recorder.first_problem(), "");
}

TEST_F(Lifetime, BuildAndReleaseGraphHundredTimes) {
    for (int i = 0; i < 100; ++i) {
        FrameRecorder recorder;
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK) << i;
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        if (i % 10 == 0) {
            EXPECT_TRUE(recorder.wait_for_frames(1, 5000)) << i;
        }
        ASSERT_TRUE(SUCCEEDED(g.control->Stop()));
    }
}

TEST_F(Lifetime, ReleasingARunningGraphStopsTheCamera) {
    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        EXPECT_TRUE(recorder.wait_for_frames(2, 5000));
    }
    const size_t after_release = recorder.frame_count();
    Sleep(150);
    EXPECT_EQ(recorder.frame_count(), after_release);
}

}  // namespace
}  // namespace vlx_test
