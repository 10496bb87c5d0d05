// Several slots at once, vlx_Exit with open slots, and a long open/close run.
#include "dll/capture_fixture.h"

#include <psapi.h>

#include <cstdio>

namespace vlx_test {
namespace {

class Slots : public Capture {};

TEST_F(Slots, TwoSlotsGrabTheirOwnFrames) {
    ASSERT_EQ(v.SetActiveSel(0), 0);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    const uint32_t early = grab_frame_number();
    Sleep(500);  // slot 0's stream is now about 15 frames ahead

    ASSERT_EQ(v.SetActiveSel(1), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    v.SetDevWidth(320);
    v.SetDevHeight(240);
    v.SetDevFrameRate(15.0);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    const uint32_t second_slot = grab_frame_number();
    EXPECT_EQ(v.GetImageMemSize(0), 230400) << "slot 1 runs its own format";

    ASSERT_EQ(v.SetActiveSel(0), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_RUNNING);
    EXPECT_EQ(v.GetImageMemSize(0), 921600);
    const uint32_t first_slot = grab_frame_number();
    EXPECT_GT(first_slot, early);
    EXPECT_GT(first_slot, second_slot) << "each slot numbers its own stream";

    EXPECT_EQ(v.Close(), 0);
    ASSERT_EQ(v.SetActiveSel(1), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_RUNNING) << "closing slot 0 left slot 1 alone";
    EXPECT_EQ(v.Close(), 0);
}

TEST_F(Slots, ExitLeavesOpenSlotsAlone) {
    ASSERT_EQ(v.SetActiveSel(5), 0);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_RUNNING);
    EXPECT_GT(camera_live_objects(), 0) << "the graph still holds the camera";
    EXPECT_NE(grab_frame_number(), UINT32_MAX) << "and frames still arrive";
    ASSERT_EQ(v.Init(), 0);
    EXPECT_EQ(v.Close(), 0);
}

size_t private_bytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters,
                         sizeof counters);
    // PagefileUsage is the process's private commit, the figure Windows shows
    // as private bytes; Wine leaves PrivateUsage at 0 but fills this one.
    return counters.PagefileUsage;
}

TEST_F(Slots, TwoHundredCyclesLeakNothing) {
    size_t baseline = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0) << cycle;
        ASSERT_GE(v.Play2(), 0) << cycle;
        ASSERT_NE(grab_frame_number(), UINT32_MAX) << cycle;
        ASSERT_EQ(v.Close(), 0) << cycle;
        ASSERT_EQ(camera_live_objects(), 0) << cycle;
        if (cycle == 19) baseline = private_bytes();  // after the platform's own caches settled
    }
    ASSERT_GT(baseline, 0u) << "the platform reports private bytes";
    const size_t growth = private_bytes() > baseline ? private_bytes() - baseline : 0;
    std::printf("private bytes: %zu after 20 cycles, growth %zu over 180 more\n", baseline, growth);
    // One leaked 640x480 frame per cycle would be 180 cycles x 900 KB.
    EXPECT_LT(growth, 8u * 1024 * 1024) << "private bytes grew by " << growth;
}

}  // namespace
}  // namespace vlx_test
