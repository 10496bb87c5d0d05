// Sequences that once left a call that never returned, looped under a
// watchdog: a call that does not return within its bound ends the process
// with its name and stack (dll/call_watchdog.h). VLX_BOUNDED_ROUNDS makes
// longer loops.
#include "dll/call_watchdog.h"
#include "dll/capture_fixture.h"

#include <cstdlib>

namespace vlx_test {
namespace {

int rounds(int standard) {
    const char* text = std::getenv("VLX_BOUNDED_ROUNDS");
    return text ? std::atoi(text) : standard;
}

int32_t set_dev_subtype(const char* subtype) {
    vidlox();
    static const auto set = reinterpret_cast<decltype(&vlx_SetDevSubtype)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"vidlox64.dll"), "vlx_SetDevSubtype")));
    return set(subtype);
}

class BoundedCalls : public Capture {
protected:
    CallWatchdog watchdog;
};

// A VMR9 open right after a VMR9 slot was closed and a format was asked that
// no capability meets, on the one-pin and the two-pin device, with one to
// seventeen mixer streams.
TEST_F(BoundedCalls, VmrOpensAfterAVmrClose) {
    const int32_t devices[] = {camera, device_index(VLXCAM_NAME_PREVIEW_PIN)};
    const intptr_t streams[] = {1, 3, 4, 17};
    for (int round = 0; round < rounds(4); ++round) {
        const int32_t first = devices[round % 2], second = devices[(round + 1) % 2];
        ASSERT_GE(watchdog.bounded("vlx_Open(VMR9)", 20000, [&] { return v.Open(first, 2, 0, 1, streams[round % 4]); }), 0);
        if (round % 2) { EXPECT_GE(v.Play2(), 0); }
        ASSERT_EQ(watchdog.bounded("vlx_Close", 20000, [&] { return v.Close(); }), 0);
        v.SetDevHeight(480);
        EXPECT_EQ(set_dev_subtype("H264"), 0);
        EXPECT_EQ(v.GetCodecListSize(1), -3);
        EXPECT_GE(watchdog.bounded("vlx_Open(VMR9) after a VMR9 close", 20000,
                                   [&] { return v.Open(second, 2, 0, 1, streams[(round + 1) % 4]); }),
                  0);
        set_dev_subtype(nullptr);
        v.SetDevHeight(0);
        ASSERT_EQ(watchdog.bounded("vlx_Close", 20000, [&] { return v.Close(); }), 0);
    }
}

// A device that fails to start leaves Wine's graph half-paused
// (docs/wine-platform.md, "A run that fails half-way"); vlx_GetState answers
// after a bounded wait, running or stopped again.
TEST_F(BoundedCalls, TheStateOfARunThatFailedHalfWay) {
    const int32_t in_use = device_index(VLXCAM_NAME_IN_USE);
    struct Case {
        int32_t mode;
        bool stopped;
        int32_t state;  // what vlx_GetState answers on Wine
    };
    // With a renderer Wine's graph runs and GetState answers E_FAIL; without
    // one the graph stays Stopped with the grabber paused (intermediate).
    for (const Case c : {Case{6, false, -2}, Case{6, true, 0}, Case{5, false, 0}, Case{5, true, 0}}) {
        ASSERT_EQ(v.Open(in_use, c.mode, 0, 0, 0), 0);
        EXPECT_EQ(v.Play2(), 1);
        if (c.stopped) { EXPECT_EQ(v.Stop(), 0); }
        EXPECT_EQ(watchdog.bounded("vlx_GetState", VLX_STATE_WAIT_MS + 20000, [&] { return v.GetState(); }), c.state)
            << "mode " << c.mode << (c.stopped ? ", stopped" : ", running");
        ASSERT_EQ(v.Close(), 0);
    }
}

}  // namespace
}  // namespace vlx_test
