// Frame events through the DLL: every frame once, numbered as the camera's
// own picture numbers them, with the frames a host missed and the device's
// drops; waits that end, messages that coalesce.
#include "dll/capture_fixture.h"
#include "dll/device_health.h"
#include "dll/frame_event_exports.h"
#include "support/frame_check.h"
#include "support/message_window.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

namespace vlx_test {
namespace {

struct Take {
    int32_t result = 0;
    uint32_t picture = 0;  // the camera's number, read from the pixels
    int64_t info[VLX_FRAME_INFO_COUNT] = {};
    int64_t number() const { return info[VLX_FRAME_NUMBER]; }
    int64_t dropped() const { return info[VLX_FRAME_DROPPED]; }
};

class FrameEvents : public Capture {
protected:
    void open(const wchar_t* device = VLXCAM_NAME_MAIN) {
        const int32_t index = device_index(device);
        ASSERT_GE(index, 0);
        ASSERT_EQ(v.Open(index, 6, 0, 0, 0), 0);
        pixels.resize(static_cast<size_t>(v.GetImageMemSize(0)));
        ASSERT_GE(v.Play2(), 0);
    }
    Take take() {
        Take t;
        int32_t size = static_cast<int32_t>(pixels.size());
        t.result = fe.GetFrame(pixels.data(), &size, &header, t.info);
        if (t.result == 0) t.picture = frame_number(pixels.data(), header.bmiHeader.biWidth, header.bmiHeader.biHeight);
        return t;
    }
    Take wait_and_take() {
        EXPECT_EQ(fe.WaitFrame(5000), 0);
        return take();
    }
    // Between two takes: the camera's pictures advance by the frames that
    // arrived plus those it dropped, and the missed count is the numbers
    // skipped.
    static void expect_same_frames(const Take& before, const Take& after) {
        const int64_t pictures = int64_t{after.picture} - before.picture;
        EXPECT_EQ(after.info[VLX_FRAME_MISSED], after.number() - before.number() - 1);
        EXPECT_GE(pictures, after.number() - before.number());
    }
    // Over a run: every picture the library never numbered is one the camera
    // dropped. The camera counts a drop when the frame before it was late,
    // which can come before or after a take reads its count, so a pair of
    // takes cannot tell; the whole run can: no more pictures missing than the
    // camera dropped in all, and none while it dropped none.
    static void expect_frames_accounted(const Take& first, const Take& last) {
        const int64_t missing = (int64_t{last.picture} - first.picture) - (last.number() - first.number());
        EXPECT_GE(missing, 0);
        EXPECT_LE(missing, last.dropped()) << "frames lost between the camera and the host";
    }

    const vlx_test::FrameEvents& fe = frame_events();
    std::vector<uint8_t> pixels;
    BITMAPINFO header{};
};

TEST_F(FrameEvents, EveryFrameOnceNumberedAsTheCameraNumbersIt) {
    open();
    std::vector<Take> takes{wait_and_take()};
    ASSERT_EQ(takes[0].result, 0);
    EXPECT_GE(takes[0].dropped(), 0) << "the test camera counts its drops";
    EXPECT_EQ(takes[0].info[VLX_FRAME_SAMPLE_TIME], -1) << "the preview stream through a Smart Tee carries no times";
    int kept_up = 0;
    while (takes.size() < 45) {
        takes.push_back(wait_and_take());
        ASSERT_EQ(takes.back().result, 0);
        expect_same_frames(takes[takes.size() - 2], takes.back());
        EXPECT_GT(takes.back().info[VLX_FRAME_ARRIVAL], takes[takes.size() - 2].info[VLX_FRAME_ARRIVAL]);
        kept_up += takes.back().info[VLX_FRAME_MISSED] == 0;
    }
    expect_frames_accounted(takes.front(), takes.back());
    EXPECT_GE(kept_up, 30) << "a host that keeps up takes the frames one by one";
    // The base frame export works beside tracking, on the same stream.
    int32_t size = static_cast<int32_t>(pixels.size());
    ASSERT_EQ(v.GetImageMem(pixels.data(), &size, &header), 0);
    EXPECT_GE(frame_number(pixels.data(), 640, 480), takes.back().picture);
}

TEST_F(FrameEvents, AHostThatSleepsThroughTenFramesIsToldOfTen) {
    open();
    bool exactly_ten = false;
    for (int attempt = 0; attempt < 5 && !exactly_ten; ++attempt) {
        const Take before = wait_and_take();
        // Sleeps until the grabber's own buffer shows the eleventh picture on.
        std::vector<uint8_t> newest(pixels.size());
        for (uint32_t seen = before.picture; seen < before.picture + 11;) {
            Sleep(5);
            int32_t size = static_cast<int32_t>(newest.size());
            if (v.GetImageMem(newest.data(), &size, &header) == 0) seen = frame_number(newest.data(), 640, 480);
        }
        Sleep(5);
        const Take after = take();
        ASSERT_EQ(after.result, 0);
        expect_same_frames(before, after);
        exactly_ten = after.picture == before.picture + 11 && after.number() == before.number() + 11;
        if (exactly_ten) {
            EXPECT_EQ(after.info[VLX_FRAME_MISSED], 10);
        }
    }
    EXPECT_TRUE(exactly_ten) << "no attempt slept through exactly ten frames";
}

TEST_F(FrameEvents, WaitEndsWithItsTimeOutWhileNoFrameComes) {
    const ULONGLONG played = GetTickCount64();
    open(VLXCAM_NAME_SLOW_START);
    EXPECT_EQ(fe.WaitFrame(0), 1) << "0 only looks";
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(fe.WaitFrame(300), 1);
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 290u);
    EXPECT_LT(waited, 1700u);
    EXPECT_EQ(take().result, -7) << "nothing has arrived yet";

    const Take first = wait_and_take();
    EXPECT_GE(GetTickCount64() - played, 1500u) << "the first frame comes about 2 s after Run";
    EXPECT_EQ(first.number(), 1);
    EXPECT_EQ(first.info[VLX_FRAME_MISSED], 0);

    ASSERT_EQ(v.Stop(), 0);
    take();  // whatever came before Stop
    EXPECT_EQ(fe.WaitFrame(VLX_WAIT_FOREVER), -2) << "a stopped slot sends nothing to wait for";
}

// A window procedure run by the wait closes the slot; WM_QUIT ends a wait.
TEST_F(FrameEvents, WhatEndsAWaitBesidesFrames) {
    open(VLXCAM_NAME_SLOW_START);
    PostQuitMessage(3);
    EXPECT_EQ(fe.WaitFrame(1000), -4);
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "posted again for the host";
    EXPECT_EQ(quit.wParam, 3u);

    MessageWindow window;
    SetTimer(window.handle(), 1, 50, [](HWND hwnd, UINT, UINT_PTR id, DWORD) {
        KillTimer(hwnd, id);
        vidlox().Close();
    });
    EXPECT_EQ(fe.WaitFrame(1500), -5);
}

TEST_F(FrameEvents, SampleTimesComeWithADirectPreviewPin) {
    open(VLXCAM_NAME_PREVIEW_PIN);
    const Take first = wait_and_take();
    const Take second = wait_and_take();
    // Frames made before the graph's start time (the graph starts a little
    // ahead of Run) have negative stream times.
    EXPECT_NE(first.info[VLX_FRAME_SAMPLE_TIME], -1);
    EXPECT_GT(second.info[VLX_FRAME_SAMPLE_TIME], first.info[VLX_FRAME_SAMPLE_TIME]);
}

TEST_F(FrameEvents, OneAnnouncementWaitsInTheQueueAtATime) {
    constexpr UINT kNewFrame = WM_APP + 20;
    MessageWindow window;
    open();
    ASSERT_EQ(fe.SetFrameNotify(window.handle(), kNewFrame), 0);
    auto retrieve = [&] {
        std::vector<MSG> found;
        MSG message;
        while (PeekMessageW(&message, window.handle(), kNewFrame, kNewFrame, PM_REMOVE)) found.push_back(message);
        return found;
    };
    Sleep(400);  // about a dozen frames, none retrieved
    auto found = retrieve();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].wParam, 0u) << "the slot";
    EXPECT_EQ(found[0].lParam, 1) << "the first frame tracked";

    Sleep(200);
    found = retrieve();
    ASSERT_EQ(found.size(), 1u) << "retrieving the first lets the next one come";
    EXPECT_GT(found[0].lParam, 1);

    ASSERT_EQ(fe.SetFrameNotify(nullptr, 0), 0);
    retrieve();
    Sleep(200);
    EXPECT_TRUE(retrieve().empty()) << "NULL stops the messages";
    EXPECT_EQ(fe.SetFrameNotify(reinterpret_cast<HWND>(0x12345678), kNewFrame), -2);
}

// Given another window while its message waits in the old one's queue:
// the next announcements go to the new window, none more to the old one.
TEST_F(FrameEvents, AnnouncementsMoveWithTheWindowWhileOneIsPending) {
    constexpr UINT kOld = WM_APP + 21, kNew = WM_APP + 22;
    MessageWindow old_window, new_window;
    open();
    ASSERT_EQ(fe.SetFrameNotify(old_window.handle(), kOld), 0);
    MSG message;
    for (int i = 0; i < 100 && !PeekMessageW(&message, old_window.handle(), kOld, kOld, PM_NOREMOVE); ++i) Sleep(10);
    ASSERT_EQ(fe.SetFrameNotify(new_window.handle(), kNew), 0);
    bool arrived = false;
    for (int i = 0; i < 100 && !arrived; ++i) {
        arrived = PeekMessageW(&message, new_window.handle(), kNew, kNew, PM_REMOVE) != 0;
        Sleep(10);
    }
    EXPECT_TRUE(arrived) << "the pending message of the old window holds nothing back";
    int old_messages = 0;
    while (PeekMessageW(&message, old_window.handle(), kOld, kOld, PM_REMOVE)) ++old_messages;
    EXPECT_EQ(old_messages, 1) << "the one posted before the move";
    Sleep(200);
    EXPECT_FALSE(PeekMessageW(&message, old_window.handle(), kOld, kOld, PM_REMOVE)) << "none since";
}

// A window of another thread of the host: its own queue, hooked there.
TEST_F(FrameEvents, AnnouncementsReachAWindowOfAnotherThread) {
    constexpr UINT kNewFrame = WM_APP + 23;
    std::atomic<HWND> window{nullptr};
    std::atomic<int> received{0};
    std::atomic<bool> done{false};
    std::thread pumper([&] {
        HWND own = CreateWindowExW(0, L"STATIC", L"frames", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        window = own;
        while (!done) {
            MSG message;
            while (PeekMessageW(&message, own, 0, 0, PM_REMOVE)) received += message.message == kNewFrame;
            Sleep(5);
        }
        DestroyWindow(own);
    });
    while (!window) Sleep(1);
    open();
    EXPECT_EQ(fe.SetFrameNotify(window, kNewFrame), 0);
    for (int i = 0; i < 300 && received < 5; ++i) Sleep(10);
    EXPECT_GE(received.load(), 5) << "retrieved on that thread, each lets the next come";
    EXPECT_EQ(v.Close(), 0);
    done = true;
    pumper.join();
}

TEST_F(FrameEvents, RefusalsAndTheEndOfTracking) {
    int32_t size = 0;
    int64_t info[VLX_FRAME_INFO_COUNT];
    EXPECT_EQ(fe.WaitFrame(0), -1);
    EXPECT_EQ(fe.GetFrame(nullptr, &size, &header, info), -1);
    EXPECT_EQ(fe.SetFrameNotify(nullptr, 0), 0) << "nothing to stop";

    MessageWindow window;
    open();
    EXPECT_EQ(fe.GetFrame(nullptr, nullptr, &header, info), -5);
    ASSERT_EQ(fe.SetFrameNotify(window.handle(), WM_APP), 0);
    wait_and_take();
    ASSERT_EQ(fe.GetFrame(nullptr, &size, &header, info), 0);
    EXPECT_EQ(size, 640 * 480 * 3);
    size = 100;
    EXPECT_EQ(fe.GetFrame(pixels.data(), &size, &header, info), -4);
    EXPECT_EQ(size, 640 * 480 * 3);
    // Closing a running, announcing slot ends its tracking with the graph.
    ASSERT_EQ(v.Close(), 0);
    window.pump();
    EXPECT_EQ(fe.WaitFrame(0), -1);
    open();
    EXPECT_EQ(take().result, -7) << "a new graph starts untracked";
}

TEST_F(FrameEvents, PixelsAndInfoOfOneFrameUnderLoad) {
    std::atomic<bool> busy{true};
    std::vector<std::thread> burners;
    for (int i = 0; i < 2; ++i)
        burners.emplace_back([&] {
            std::vector<uint8_t> block(1 << 22);
            while (busy) std::fill(block.begin(), block.end(), static_cast<uint8_t>(block[7] + 1));
        });
    open();
    std::mt19937 random(20);
    const Take first = wait_and_take();
    Take before = first;
    for (int i = 0; i < 60; ++i) {
        Sleep(random() % 45);  // takes at any moment of a frame's arrival
        const Take after = take();
        ASSERT_EQ(after.result, 0);
        if (after.number() == before.number()) {
            EXPECT_EQ(after.picture, before.picture) << "the same frame again";
            EXPECT_EQ(after.info[VLX_FRAME_MISSED], 0);
        } else {
            expect_same_frames(before, after);
        }
        before = after;
    }
    expect_frames_accounted(first, before);
    busy = false;
    for (std::thread& burner : burners) burner.join();
}

// Device health and frame events share the grabber's one callback: with both
// in use on a slot, whichever began first, frames are taken one by one and
// the device is still delivering after the time a stall takes.
TEST_F(FrameEvents, BesideDeviceHealthOnOneGrabber) {
    for (const bool health_first : {true, false}) {
        open();
        Take last;
        auto take_for = [&](ULONGLONG ms) {
            for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < ms;) {
                const Take next = wait_and_take();
                ASSERT_EQ(next.result, 0);
                EXPECT_GT(next.number(), last.number());
                last = next;
            }
        };
        auto start_health = [] {
            EXPECT_EQ(wait_for_device_state(VLX_DEVICE_DELIVERING, 3000), VLX_DEVICE_DELIVERING);
        };
        if (health_first) start_health();
        take_for(500);
        if (!health_first) start_health();
        take_for(2500);
        EXPECT_EQ(device_health().GetDeviceState(), VLX_DEVICE_DELIVERING) << "health first: " << health_first;
        ASSERT_EQ(v.Close(), 0);
    }
}

}  // namespace
}  // namespace vlx_test
