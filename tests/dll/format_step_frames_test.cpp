// A format step on an open, stopped slot may connect the grabber again: the
// frames held from before belong to the old connection and are never handed
// out under the new header, by the frame events or the base frame functions.
#include "dll/capture_fixture.h"
#include "dll/frame_event_exports.h"
#include "support/frame_check.h"
#include "support/message_window.h"

#include <cstdio>
#include <string>

namespace vlx_test {
namespace {

struct FormatStep {
    const char* what;
    int32_t width;
    int32_t height;
    double rate;
};

// Another size, and one that keeps every byte count (only the rate moves).
const FormatStep kSteps[] = {
    {"another size", 1280, 720, 0.0},
    {"the same size at another rate", 640, 480, 15.0},
};

class FormatStepFrames : public Capture {
protected:
    void open_running() {
        ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
        ASSERT_GE(v.Play2(), 0);
    }
    // Stops the slot and sets `step` on it; the slot stays open, stopped.
    void step_stopped(const FormatStep& step) {
        ASSERT_EQ(v.Stop(), 0);
        v.SetDevWidth(step.width);
        v.SetDevHeight(step.height);
        v.SetDevFrameRate(step.rate);
        ASSERT_EQ(v.SetDevCapConfig(), 0) << step.what;
    }
    int32_t take(std::vector<uint8_t>& pixels, int64_t* info) {
        int32_t size = static_cast<int32_t>(pixels.size());
        taken_size = size;
        const int32_t result = fe.GetFrame(pixels.data(), &size, &header, info);
        taken_size = size;
        return result;
    }
    const FrameEvents& fe = frame_events();
    BITMAPINFO header{};
    int32_t taken_size = 0;
};

TEST_F(FormatStepFrames, WaitAndTakeAgreeThatAFrameOfTheOldConnectionIsNone) {
    for (const FormatStep& step : kSteps) {
        SCOPED_TRACE(step.what);
        open_running();
        std::vector<uint8_t> pixels(1920 * 1080 * 3);
        int64_t info[VLX_FRAME_INFO_COUNT] = {};
        ASSERT_EQ(fe.WaitFrame(5000), 0);
        ASSERT_EQ(take(pixels, info), 0);
        ASSERT_EQ(fe.WaitFrame(5000), 0) << "a newer frame held before the stop";
        step_stopped(step);

        // Stopped, with nothing takeable: refused at once, as the take is.
        EXPECT_EQ(fe.WaitFrame(VLX_WAIT_FOREVER), -2);
        EXPECT_EQ(take(pixels, info), -7);

        ASSERT_GE(v.Play2(), 0);
        ASSERT_EQ(fe.WaitFrame(5000), 0);
        ASSERT_EQ(take(pixels, info), 0);
        EXPECT_EQ(header.bmiHeader.biWidth, step.width);
        EXPECT_EQ(header.bmiHeader.biHeight, step.height);
        EXPECT_EQ(taken_size, step.width * step.height * 3);
        EXPECT_NE(frame_number(pixels.data(), step.width, step.height), UINT32_MAX);
        ASSERT_EQ(v.Close(), 0);
        v.SetDevWidth(0);
        v.SetDevHeight(0);
        v.SetDevFrameRate(0.0);
    }
}

// The grabber's own held sample, read by the four base frame functions.
TEST_F(FormatStepFrames, BaseFrameFunctionsHandOutNoFrameOfTheOldConnection) {
    open_running();
    std::vector<uint8_t> pixels(1280 * 720 * 3);
    ASSERT_EQ(wait_for_frame(pixels, header), 0);
    step_stopped(kSteps[0]);

    int32_t size = static_cast<int32_t>(pixels.size());
    EXPECT_EQ(v.GetImageMem(pixels.data(), &size, &header), -7);
    const HDC screen = GetDC(nullptr);
    EXPECT_EQ(v.GetImage(screen, 0, 0, 1280, 720), -7);
    ReleaseDC(nullptr, screen);
    const std::string bmp = "format_step_old_frame.bmp";
    std::remove(bmp.c_str());
    EXPECT_EQ(v.SaveBMP(bmp.c_str()), -7);
    EXPECT_EQ(GetFileAttributesA(bmp.c_str()), INVALID_FILE_ATTRIBUTES) << "no file for no frame";
    EXPECT_EQ(v.SaveImage(L"format_step_old_frame.png", 2, -1, 0, 0), -7);

    // Run again: the first frame of the new connection, whole.
    ASSERT_GE(v.Play2(), 0);
    ASSERT_EQ(wait_for_frame(pixels, header), 0);
    EXPECT_EQ(header.bmiHeader.biWidth, 1280);
    EXPECT_NE(frame_number(pixels.data(), 1280, 720), UINT32_MAX);
    v.SetDevWidth(0);
    v.SetDevHeight(0);
}

TEST_F(FormatStepFrames, ANullNotifyWindowAnswers0InAnySlotState) {
    ASSERT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    EXPECT_EQ(fe.SetFrameNotify(nullptr, WM_APP), 0) << "a closed slot";
    MessageWindow window(WM_APP);
    EXPECT_EQ(fe.SetFrameNotify(window.handle(), WM_APP), -1) << "a window needs an open slot";
    open_running();
    EXPECT_EQ(fe.SetFrameNotify(nullptr, WM_APP), 0) << "an open slot";
}

}  // namespace
}  // namespace vlx_test
