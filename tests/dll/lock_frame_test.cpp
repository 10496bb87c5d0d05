// Frames lent without a copy (vlx_LockFrame), and the frame functions of a
// tracked slot, which read the library's copy once the grabber keeps none.
#include "dll/capture_fixture.h"
#include "dll/frame_event_exports.h"
#include "support/frame_check.h"
#include "dll/device_health.h"
#include "support/message_window.h"

#include <cstring>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

class LockFrame : public Capture {
protected:
    void open_running() {
        ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
        ASSERT_GE(v.Play2(), 0);
        ASSERT_EQ(fe.WaitFrame(5000), 0);
    }
    const FrameEvents& fe = frame_events();
    BITMAPINFO header{};
    int64_t info[VLX_FRAME_INFO_COUNT] = {};
};

// The lent frame's rule, where random calls met "stalled": a VMR9 slot run
// past the wait a camera has for its first frame, its frames taken one by
// one, the device state read for the first time with a frame lent. The
// camera never waits for the lent frame: newer ones keep arriving, and the
// device delivers (a tracked slot's grabber holds no frame of its own, so
// the first reading of the state must find the library's).
TEST_F(LockFrame, ALentFrameHoldsUpNothingAndTheDeviceDelivers) {
    MessageWindow owner;
    ASSERT_EQ(v.Open(camera, 2, 0, 1, 1), 0);  // VMR9, windowed, one stream
    ASSERT_GE(v.Play(static_cast<int32_t>(reinterpret_cast<intptr_t>(owner.handle())), 0, 0, 320, 240), 0);
    std::vector<uint8_t> pixels(640 * 480 * 3);
    int32_t taken = 0;
    for (const ULONGLONG started = GetTickCount64(); GetTickCount64() - started < VLX_FIRST_FRAME_WAIT_MS + 300;) {
        ASSERT_EQ(fe.WaitFrame(5000), 0);
        taken = static_cast<int32_t>(pixels.size());
        ASSERT_EQ(fe.GetFrame(pixels.data(), &taken, &header, info), 0);
    }
    ASSERT_EQ(fe.WaitFrame(5000), 0);
    const void* lent = nullptr;
    int32_t size = 0;
    ASSERT_EQ(fe.LockFrame(&lent, &size, &header, info), 0);
    EXPECT_EQ(fe.GetFrameHolding(), VLX_FRAMES_HELD);
    EXPECT_EQ(device_health().GetDeviceState(), VLX_DEVICE_DELIVERING);
    ASSERT_EQ(size, 640 * 480 * 3);
    const std::vector<uint8_t> at_lock(static_cast<const uint8_t*>(lent), static_cast<const uint8_t*>(lent) + size);
    const uint32_t picture = frame_number(at_lock.data(), 640, 480);

    // Frames go on arriving and being taken while the lent one is held.
    int64_t later[VLX_FRAME_INFO_COUNT] = {};
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(fe.WaitFrame(5000), 0);
        taken = size;
        ASSERT_EQ(fe.GetFrame(pixels.data(), &taken, &header, later), 0);
    }
    EXPECT_EQ(device_health().GetDeviceState(), VLX_DEVICE_DELIVERING);
    EXPECT_GT(later[VLX_FRAME_NUMBER], info[VLX_FRAME_NUMBER] + 5);
    EXPECT_GT(frame_number(pixels.data(), 640, 480), picture);
    EXPECT_EQ(std::memcmp(lent, at_lock.data(), at_lock.size()), 0) << "the lent bytes never moved";

    const void* second = nullptr;
    EXPECT_EQ(fe.LockFrame(&second, &size, &header, info), -11) << "one lent frame at a time";
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(fe.UnlockFrame(), 0);
    EXPECT_EQ(fe.UnlockFrame(), -1) << "nothing lent any more";
    ASSERT_EQ(fe.LockFrame(&second, &size, &header, info), 0);
    EXPECT_GT(frame_number(static_cast<const uint8_t*>(second), 640, 480), picture);
    EXPECT_EQ(info[VLX_FRAME_MISSED], 0) << "a lock counts as a take";
    EXPECT_EQ(fe.UnlockFrame(), 0);
}

// Samples are held where the grabber's input allocator has buffers to spare
// (the test camera asks four) and copied where it has not (Wine's AVI
// Decompressor gives the YUY2 camera's decoded frames one buffer); either
// way a stopped slot still hands out its newest frame.
TEST_F(LockFrame, SamplesHeldWhereTheAllocatorHasBuffersToSpareElseCopied) {
    struct Case {
        const wchar_t* device;
        int32_t holding;
    };
    for (const Case& c : {Case{VLXCAM_NAME_MAIN, VLX_FRAMES_HELD}, Case{VLXCAM_NAME_PREVIEW_PIN, VLX_FRAMES_HELD},
                          Case{VLXCAM_NAME_YUY2, VLX_FRAMES_COPIED}}) {
        SCOPED_TRACE(testing::Message() << c.device);
        EXPECT_EQ(fe.GetFrameHolding(), -1) << "closed";
        ASSERT_EQ(v.Open(device_index(c.device), 6, 0, 0, 0), 0);
        EXPECT_EQ(fe.GetFrameHolding(), -2) << "not tracked";
        ASSERT_GE(v.Play2(), 0);
        std::vector<uint8_t> pixels(640 * 480 * 3);
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(fe.WaitFrame(5000), 0);
            int32_t size = static_cast<int32_t>(pixels.size());
            ASSERT_EQ(fe.GetFrame(pixels.data(), &size, &header, info), 0);
        }
        EXPECT_EQ(fe.GetFrameHolding(), c.holding);
        ASSERT_EQ(v.Stop(), 0);
        int32_t size = static_cast<int32_t>(pixels.size());
        EXPECT_EQ(v.GetImageMem(pixels.data(), &size, &header), 0) << "the newest frame outlives the stop";
        ASSERT_EQ(v.Close(), 0);
    }
}

TEST_F(LockFrame, AFrameLentWhenTheSlotClosesStaysUntilItIsGivenBack) {
    open_running();
    const void* lent = nullptr;
    int32_t size = 0;
    ASSERT_EQ(fe.LockFrame(&lent, &size, &header, info), 0);
    const std::vector<uint8_t> at_lock(static_cast<const uint8_t*>(lent), static_cast<const uint8_t*>(lent) + size);
    ASSERT_EQ(v.Close(), 0);
    EXPECT_EQ(std::memcmp(lent, at_lock.data(), at_lock.size()), 0) << "readable after the close";
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    ASSERT_EQ(fe.WaitFrame(5000), 0);
    const void* next = nullptr;
    EXPECT_EQ(fe.LockFrame(&next, &size, &header, info), -11) << "the slot's lent frame is still out";
    EXPECT_EQ(fe.UnlockFrame(), 0);
    EXPECT_EQ(fe.LockFrame(&next, &size, &header, info), 0);
    EXPECT_EQ(fe.UnlockFrame(), 0);
}

TEST_F(LockFrame, Refusals) {
    const void* lent = nullptr;
    int32_t size = 0;
    EXPECT_EQ(fe.LockFrame(&lent, &size, &header, info), -1) << "slot not open";
    EXPECT_EQ(fe.UnlockFrame(), -1);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(fe.LockFrame(nullptr, &size, &header, info), -5);
    EXPECT_EQ(fe.LockFrame(&lent, nullptr, &header, info), -5);
    EXPECT_EQ(fe.LockFrame(&lent, &size, nullptr, info), -5);
    EXPECT_EQ(fe.LockFrame(&lent, &size, &header, info), -7) << "stopped, nothing tracked yet";
    EXPECT_EQ(fe.UnlockFrame(), -1);
}

// Once tracked, the grabber keeps no frame: the base frame functions read the
// library's copy, log no GetCurrentBuffer, and Play2 no SetBufferSamples.
TEST_F(LockFrame, BaseFrameFunctionsOfATrackedSlotReadTheLibrarysCopy) {
    std::string log(8192, '\0');
    v.SetLogBuffer(log.data(), static_cast<int32_t>(log.size()));
    v.SetLogLevel(2);
    open_running();
    std::vector<uint8_t> pixels(640 * 480 * 3);
    int32_t size = static_cast<int32_t>(pixels.size());
    ASSERT_EQ(v.GetImageMem(pixels.data(), &size, &header), 0);
    EXPECT_EQ(size, 640 * 480 * 3);
    EXPECT_NE(frame_number(pixels.data(), 640, 480), UINT32_MAX);
    const std::string bmp = "tracked_slot_frame.bmp";
    EXPECT_EQ(v.SaveBMP(bmp.c_str()), 0);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA(bmp.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 640u * 480u * 3u + 54u);
    DeleteFileA(bmp.c_str());
    ASSERT_EQ(v.Stop(), 0);
    ASSERT_GE(v.Play2(), 0);
    const std::string text(log.c_str());
    EXPECT_NE(text.find("vlx_WaitFrame->SampleGrabber->SetBufferSamples(FALSE)"), std::string::npos) << text;
    EXPECT_EQ(text.find("->SampleGrabber->GetCurrentBuffer"), std::string::npos) << text;
    EXPECT_EQ(text.find("vlx_Play2->SampleGrabber->SetBufferSamples", text.find("SetBufferSamples(FALSE)")),
              std::string::npos)
        << text;
    v.SetLogBuffer(nullptr, 0);
}

}  // namespace
}  // namespace vlx_test

