// The sound extension against the test microphone: its formats and the
// choice of one, the blocks a host takes, and the devices that cannot be
// opened. Files with sound are checked in platform/sound_files_test.cpp.
#include "dll/capture_fixture.h"
#include "dll/sound_exports.h"
#include "support/message_window.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

constexpr UINT kBlockMessage = WM_APP + 7;
// The test microphone's blocks at the library's 40 ms: 48 kHz stereo 16-bit.
constexpr int32_t kBlockBytes = 1920 * 4;
constexpr int64_t kBlockTime = 400000;

class SoundTest : public Capture {
protected:
    void SetUp() override {
        Capture::SetUp();
        microphone = audio_device_index(VLXCAM_NAME_MICROPHONE);
        ASSERT_GE(microphone, 0) << "the test microphone is not registered";
    }
    void TearDown() override {
        s.SetAudioDevice(-1);
        s.SetAudioFormat(0, 0, 0);
        Capture::TearDown();
    }
    std::string format_list(int32_t device) {
        const int32_t size = s.GetAudioFormatListSize(device);
        if (size < 1) return "code " + std::to_string(size);
        std::vector<char> text(static_cast<size_t>(size), '\0');
        const int32_t lines = s.GetAudioFormatList(text.data(), device);
        return lines < 0 ? "code " + std::to_string(lines) : std::string(text.data());
    }
    int32_t format_in_force() {
        int32_t rate = 0, channels = 0, bits = 0;
        const int32_t got = s.GetAudioFormat(&rate, &channels, &bits);
        return got ? got : rate * 1000 + channels * 100 + bits;
    }

    const Sound& s = sound();
    int32_t microphone = -1;
};

TEST_F(SoundTest, FormatsListedAndChosenBeforeAndAfterOpen) {
    EXPECT_EQ(format_list(microphone), "0 48000 2 16\r\n1 48000 1 16\r\n2 44100 2 16\r\n3 44100 1 16\r\n"
                                       "4 48000 2 24\r\n5 16000 1 16\r\n6 8000 1 8\r\n");
    EXPECT_EQ(format_list(-1), "code -2");
    EXPECT_EQ(format_list(1000), "code -5");
    EXPECT_EQ(s.GetAudioFormatList(nullptr, microphone), -1);

    struct Case {
        int32_t rate, channels, bits, choice, opened, in_force;
    } const cases[] = {
        {44100, 1, 16, VLX_FORMAT_CHOICE_EXACT, 0, 44100116},
        {8000, 1, 8, VLX_FORMAT_CHOICE_ALL, 0, 8000108},
        {44100, 2, 24, VLX_FORMAT_CHOICE_EXACT, -122, -1},   // not offered: refused, the slot closed
        {44100, 2, 24, VLX_FORMAT_CHOICE_NEAREST, 0, 44100216},
        {0, 0, 0, VLX_FORMAT_CHOICE_EXACT, 0, 48000216},  // the device's own
    };
    ASSERT_EQ(s.SetAudioDevice(microphone), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate * 1000 + c.channels * 100 + c.bits);
        ASSERT_EQ(s.SetAudioFormat(c.rate, c.channels, c.bits), 0) << "kept for the open";
        auto choose = reinterpret_cast<int32_t (*)(int32_t)>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"vidlox64.dll"), "vlx_SetDevFormatChoice")));
        ASSERT_EQ(choose(c.choice), 0);
        EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), c.opened);
        EXPECT_EQ(format_in_force(), c.in_force);
        EXPECT_EQ(v.GetRef(), c.opened == 0 ? VLX_SLOT_OPEN : VLX_SLOT_CLOSED);
        v.Close();
        choose(VLX_FORMAT_CHOICE_ALL);
    }

    // On the open, stopped slot: set at once, or refused and kept.
    ASSERT_EQ(s.SetAudioFormat(0, 0, 0), 0);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(s.SetAudioFormat(16000, 1, 16), 0);
    EXPECT_EQ(format_in_force(), 16000116);
    EXPECT_EQ(s.SetAudioFormat(22050, 2, 16), -3);
    EXPECT_EQ(format_in_force(), 16000116);
    EXPECT_EQ(s.SetAudioFormat(-1, 2, 16), -2);
    ASSERT_GE(v.Play2(), 0);
    EXPECT_EQ(s.SetAudioFormat(48000, 2, 16), -4);
    EXPECT_EQ(s.WaitAudio(5000), 0) << "blocks in the new format";
    int32_t size = 0;
    EXPECT_EQ(s.GetAudio(nullptr, &size, nullptr), 0);
    EXPECT_EQ(size, 16000 * 2 * 40 / 1000) << "40 ms blocks in this format too";
}

// Every block once, numbered, stamped on the microphone's clock, one window
// message each; the clicks show in the levels; the sync calls in the log.
TEST_F(SoundTest, BlocksComeOnceEachWithTimesLevelsAndMessages) {
    std::vector<char> log(1 << 16, '\0');
    v.SetLogBuffer(log.data(), static_cast<int32_t>(log.size()));
    v.SetLogLevel(2);
    MessageWindow window(kBlockMessage);
    ASSERT_EQ(s.SetAudioDevice(microphone), 0);
    EXPECT_EQ(s.WaitAudio(0), -1) << "no slot open";
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(s.WaitAudio(0), -3) << "stopped, nothing held";
    ASSERT_EQ(s.SetAudioNotify(window.handle(), kBlockMessage), 0);
    EXPECT_EQ(s.SetAudioNotify(reinterpret_cast<HWND>(7), kBlockMessage), -10);
    ASSERT_GE(v.Play2(), 0);

    std::vector<uint8_t> pcm(kBlockBytes);
    int64_t info[VLX_AUDIO_INFO_COUNT];
    std::vector<int64_t> numbers, times;
    int clicks = 0;
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(s.WaitAudio(5000), 0);
        int32_t size = 10;
        ASSERT_EQ(s.GetAudio(pcm.data(), &size, info), -7);
        ASSERT_EQ(size, kBlockBytes) << "too small: the size needed, nothing taken";
        ASSERT_EQ(s.GetAudio(pcm.data(), &size, info), 0);
        numbers.push_back(info[VLX_AUDIO_NUMBER]);
        times.push_back(info[VLX_AUDIO_SAMPLE_TIME]);
        EXPECT_EQ(info[VLX_AUDIO_MISSED], 0);
        const bool click = info[VLX_AUDIO_SAMPLE_TIME] % 10000000 == 0;
        clicks += click;
        for (int c = 0; c < VLX_AUDIO_LEVEL_CHANNELS; ++c) {
            // 10 ms of 0.9 full scale in 40 ms: peak 0.9, RMS 0.45; silence otherwise.
            const bool sounds = click && c < 2;
            EXPECT_EQ(info[VLX_AUDIO_PEAK + 2 * c], sounds ? 9000 : 0) << "channel " << c;
            EXPECT_EQ(info[VLX_AUDIO_RMS + 2 * c], sounds ? 4500 : 0) << "channel " << c;
        }
    }
    EXPECT_EQ(clicks, 2) << "the blocks at 0 s and 1 s";
    for (size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
        EXPECT_EQ(times[i] - times[i - 1], kBlockTime);
    }
    EXPECT_EQ(numbers.front(), 1);
    EXPECT_EQ(times.front(), 0);
    std::vector<LPARAM> announced;
    for (const PostedMessage& m : window.pump()) announced.push_back(m.lparam);
    ASSERT_GE(announced.size(), numbers.size());
    for (size_t i = 0; i < announced.size(); ++i) EXPECT_EQ(announced[i], static_cast<LPARAM>(i + 1));

    v.Close();
    reset_reporting();
    const std::string text(log.data());
    for (const char* line : {"1 vlx_Open->MediaFilter->SetSyncSource(AudioClock) = S_OK",
                             "1 vlx_Open->AMBufferNegotiation->SuggestAllocatorProperties = S_OK",
                             "1 vlx_Open->CaptureGraphBuilder2->RenderStream(Audio) = S_OK",
                             "1 vlx_Open->AudioCapture->Pause = S_OK"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

// A host that never takes a block: the library keeps the newest
// VLX_AUDIO_QUEUE_BLOCKS and counts the ones it let go as missed.
TEST_F(SoundTest, AHostThatNeverTakesKeepsTheNewestAndCountsTheRest) {
    ASSERT_EQ(s.SetAudioDevice(microphone), 0);
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    Sleep(static_cast<DWORD>(VLX_AUDIO_QUEUE_BLOCKS * 40 + 1500));
    ASSERT_EQ(v.Stop(), 0);
    std::vector<uint8_t> pcm(kBlockBytes);
    int64_t info[VLX_AUDIO_INFO_COUNT];
    int taken = 0;
    int64_t first = 0, missed = 0, last = 0;
    while (s.WaitAudio(0) == 0) {
        int32_t size = kBlockBytes;
        ASSERT_EQ(s.GetAudio(pcm.data(), &size, info), 0);
        if (taken++ == 0) {
            first = info[VLX_AUDIO_NUMBER];
            missed = info[VLX_AUDIO_MISSED];
        } else {
            EXPECT_EQ(info[VLX_AUDIO_MISSED], 0);
            EXPECT_EQ(info[VLX_AUDIO_NUMBER], last + 1);
        }
        last = info[VLX_AUDIO_NUMBER];
    }
    EXPECT_EQ(taken, VLX_AUDIO_QUEUE_BLOCKS);
    EXPECT_GT(missed, 0);
    EXPECT_EQ(first, missed + 1) << "the blocks let go are the oldest";
    int32_t size = kBlockBytes;
    EXPECT_EQ(s.GetAudio(pcm.data(), &size, info), -9);
    EXPECT_EQ(s.WaitAudio(100), -3);
}

// An audio device that cannot be had fails vlx_Open with a code of its own;
// the slot stays closed and nothing of the graph remains (the fixture counts
// the camera DLL's objects, the microphones' included), and the next open
// without it works.
TEST_F(SoundTest, DevicesThatCannotBeOpenedLeaveTheSlotClosed) {
    struct Case {
        const char* what;
        int32_t index;
        const char* path;
        int32_t code;
    } const cases[] = {
        {"an index past the list", 1000, nullptr, -120},
        {"a path nobody has", -1, "\\\\?\\no#such#microphone", -120},
        {"held by another program", audio_device_index(VLXCAM_NAME_MICROPHONE_IN_USE), nullptr, -126},
        {"refuses every format", audio_device_index(VLXCAM_NAME_MICROPHONE_REFUSES), nullptr, -125},
        {"the microphone by its path", -1, "\\\\?\\swd#mmdevapi#vidlox_microphone_0001#{2eef81be-33fa-4800-9670-1cd474972c3f}", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.path ? s.SetAudioDevicePath(c.path) : s.SetAudioDevice(c.index), 0);
        EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), c.code);
        EXPECT_EQ(v.GetRef(), c.code == 0 ? VLX_SLOT_OPEN : VLX_SLOT_CLOSED);
        v.Close();
        if (c.code) {
            EXPECT_EQ(camera_live_objects(), 0) << "nothing half-built";
            ASSERT_EQ(s.SetAudioDevice(-1), 0);
            EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
            EXPECT_EQ(s.WaitAudio(0), -2) << "no audio device chosen now";
            v.Close();
        }
    }
    EXPECT_EQ(s.SetAudioDevice(-2), -2);
    EXPECT_EQ(s.SetAudioDevicePath(reinterpret_cast<const char*>(9)), -1);
}

}  // namespace
}  // namespace vlx_test
