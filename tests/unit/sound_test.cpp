// The sound extension's pieces on tables (the choice of a format, the level
// of a block, the blocks' queue) and vlx_Open's audio branch failing at each
// step that Wine cannot fail, in process with fault injection.
#include "sound/audio_blocks.h"
#include "sound/audio_formats.h"
#include "sound/audio_levels.h"
#include "unit/capture_harness.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace vlx_test {
namespace {

using vlx::sound::AudioCapability;
using vlx::sound::AudioFormat;

TEST(AudioFormatChoice, ExactOrNearestOnTheTestMicrophonesTable) {
    const std::vector<AudioCapability> offered = {{0, {48000, 2, 16}}, {1, {48000, 1, 16}}, {2, {44100, 2, 16}},
                                                  {4, {48000, 2, 24}}, {6, {8000, 1, 8}}};
    struct Case {
        AudioFormat wanted;
        bool nearest;
        int found;  // capability index, -1 none
    } const cases[] = {
        {{44100, 2, 16}, false, 2}, {{44100, 1, 16}, false, -1}, {{44100, 1, 16}, true, 2},
        {{47000, 2, 24}, true, 4},  {{8000, 2, 16}, true, 6},     {{96000, 2, 16}, true, 0},
    };
    for (const Case& c : cases) {
        const auto chosen = vlx::sound::choose_capability(offered, c.wanted, c.nearest);
        EXPECT_EQ(chosen ? chosen->index : -1, c.found) << c.wanted.rate << " " << c.wanted.channels << " "
                                                       << c.wanted.bits << (c.nearest ? " nearest" : "");
    }
    EXPECT_FALSE(vlx::sound::choose_capability({}, {48000, 2, 16}, true));
    EXPECT_EQ(vlx::sound::format_line(offered[3]), "4 48000 2 24");
    EXPECT_EQ(vlx::sound::bytes_for_ms({48000, 2, 16}, 40), 7680);
    EXPECT_EQ(vlx::sound::bytes_for_ms({8000, 1, 8}, 40), 320);
}

// Each sample width's full scale, its silence, and one channel apart from
// the other: peak and RMS in ten-thousandths of full scale.
TEST(AudioLevels, PeakAndRmsPerChannelForEverySampleWidth) {
    struct Case {
        int bits;
        std::vector<uint8_t> frames;  // two stereo frames: left loud then quiet, right silent
        int64_t peak, rms;
    } const cases[] = {
        {8, {255, 128, 128, 128}, 9922, 7016},
        {16, {0xff, 0x7f, 0, 0, 0, 0, 0, 0}, 10000, 7071},
        {16, {0x00, 0x80, 0, 0, 0x00, 0x80, 0, 0}, 10000, 10000},
        {24, {0, 0, 0xc0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0}, 5000, 5000},
        {32, {0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 5000, 3536},
    };
    for (const Case& c : cases) {
        vlx::sound::ChannelLevel levels[3];
        vlx::sound::measure_levels(c.frames.data(), c.frames.size(), {48000, 2, c.bits}, levels, 3);
        EXPECT_EQ(levels[0].peak, c.peak) << c.bits << " bits";
        EXPECT_EQ(levels[0].rms, c.rms) << c.bits << " bits";
        EXPECT_EQ(levels[1].peak + levels[1].rms + levels[2].peak + levels[2].rms, 0) << c.bits << " bits";
    }
}

// A stand-in for the grabber's samples.
class Sample final : public IMediaSample {
public:
    Sample(std::vector<BYTE> bytes, REFERENCE_TIME start) : bytes_(std::move(bytes)), start_(start) {}
    STDMETHODIMP QueryInterface(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetPointer(BYTE** out) override { *out = bytes_.data(); return S_OK; }
    STDMETHODIMP_(long) GetSize() override { return static_cast<long>(bytes_.size()); }
    STDMETHODIMP GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override {
        *start = start_;
        *stop = start_ + 1;
        return S_OK;
    }
    STDMETHODIMP SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP IsSyncPoint() override { return S_OK; }
    STDMETHODIMP SetSyncPoint(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP IsPreroll() override { return S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP_(long) GetActualDataLength() override { return static_cast<long>(bytes_.size()); }
    STDMETHODIMP SetActualDataLength(long) override { return E_NOTIMPL; }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** type) override { *type = nullptr; return S_FALSE; }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }

private:
    std::vector<BYTE> bytes_;
    REFERENCE_TIME start_;
};

// The oldest block first, each once; past VLX_AUDIO_QUEUE_BLOCKS the oldest
// goes and the next take counts it; a detached queue takes nothing in.
TEST(AudioBlocks, OldestFirstBoundedAndCountedWhenLetGo) {
    vlx::ComPtr<vlx::sound::AudioBlocks> blocks =
        vlx::ComPtr<vlx::sound::AudioBlocks>::adopt(vlx::sound::AudioBlocks::create(3, {48000, 2, 16}));
    ASSERT_TRUE(blocks);
    const int extra = 5;
    for (int i = 0; i < VLX_AUDIO_QUEUE_BLOCKS + extra; ++i) {
        Sample sample(std::vector<BYTE>(4 + 4 * (i % 3), static_cast<BYTE>(i)), i * 400000LL);
        blocks->SampleCB(0, &sample);
    }
    EXPECT_EQ(WaitForSingleObject(blocks->event(), 0), WAIT_OBJECT_0);
    vlx::sound::Block block;
    int64_t missed = -1;
    for (int i = extra; i < VLX_AUDIO_QUEUE_BLOCKS + extra; ++i) {
        EXPECT_EQ(blocks->next_size(), static_cast<size_t>(4 + 4 * (i % 3)));
        ASSERT_TRUE(blocks->take(block, missed));
        EXPECT_EQ(block.number, i + 1);
        EXPECT_EQ(block.sample_time, i * 400000LL);
        EXPECT_EQ(block.bytes[0], static_cast<BYTE>(i));
        EXPECT_EQ(missed, i == extra ? extra : 0);
    }
    EXPECT_FALSE(blocks->take(block, missed));
    EXPECT_EQ(WaitForSingleObject(blocks->event(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    blocks->detach();
    Sample late(std::vector<BYTE>(4, 1), 0);
    blocks->SampleCB(0, &late);
    EXPECT_FALSE(blocks->holds_block());
    EXPECT_EQ(WaitForSingleObject(blocks->event(), 0), WAIT_OBJECT_0) << "a waiting host wakes";
}

int32_t microphone_position() {
    const int32_t size = vlx_GetDeviceListSize(1);
    std::string text(static_cast<size_t>(size > 0 ? size : 1), '\0');
    if (size <= 0 || vlx_GetDeviceList(text.data(), 1) < 0) return -1;
    const size_t at = text.find("vidlox Test Microphone\r\n");
    if (at == std::string::npos) return -1;
    int32_t lines = 0;
    for (size_t i = 0; i < at; ++i) lines += text[i] == '\n';
    return lines;
}

struct AudioFault {
    const char* name;
    const char* key;
    HRESULT status;
    int32_t expected;
};

// Steps nothing real fails here: each is its code, the slot ends closed with
// nothing left; the sync calls are reported and never fail the open.
TEST_F(InProcessCapture, AudioBranchStepsFailWithTheirCodes) {
    const AudioFault cases[] = {
        {"enumerator", "vlx_Open->CoCreateInstance(SystemDeviceEnum, Audio)", E_OUTOFMEMORY, -120},
        {"category", "vlx_Open->CreateDevEnum->CreateClassEnumerator(AudioInputDeviceCategory)", S_FALSE, -120},
        {"bind", "vlx_Open->Moniker->BindToObject(Audio)", E_FAIL, -121},
        {"add", "vlx_Open->GraphBuilder->AddFilter(AudioCapture)", E_FAIL, -121},
        {"grabber", "vlx_Open->CoCreateInstance(SampleGrabber, Audio)", E_OUTOFMEMORY, -124},
        {"grabber type", "vlx_Open->AudioSampleGrabber->SetMediaType", E_FAIL, -124},
        {"callback", "vlx_Open->AudioSampleGrabber->SetCallback", E_FAIL, -124},
        {"render", "vlx_Open->CaptureGraphBuilder2->RenderStream(Audio)", VFW_E_CANNOT_CONNECT, -125},
        {"start", "vlx_Open->AudioCapture->Pause", E_FAIL, -127},
        {"start in use", "vlx_Open->AudioCapture->Pause", static_cast<HRESULT>(0x80070020), -126},
        {"clock", "vlx_Open->MediaFilter->SetSyncSource(AudioClock)", E_NOTIMPL, 0},
        {"buffers", "vlx_Open->AMBufferNegotiation->SuggestAllocatorProperties", E_NOTIMPL, 0},
    };
    const int32_t microphone = microphone_position();
    ASSERT_GE(microphone, 0);
    for (const AudioFault& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(vlx_SetAudioDevice(microphone), 0);
        vlx::fault::arm(c.key, c.status);
        EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), c.expected);
        EXPECT_GE(vlx::fault::attempts(c.key), 1) << c.key << " was never reached";
        vlx::fault::clear_all();
        if (c.expected == 0) {
            EXPECT_EQ(vlx_WaitAudio(0), -3) << "opened with its audio";
            EXPECT_EQ(vlx_Close(), 0);
            continue;
        }
        EXPECT_EQ(vlx::active_slot().slot_state, 0);
        EXPECT_TRUE(all_interfaces_null(vlx::active_slot()));
        EXPECT_EQ(camera_live_objects(), 0);
    }
    // A format asked of a pin without IAMStreamConfig cannot be offered.
    ASSERT_EQ(vlx_SetAudioFormat(48000, 2, 16), 0);
    vlx::fault::arm("vlx_Open->CaptureGraphBuilder2->FindInterface(AudioStreamConfig)", E_NOINTERFACE);
    EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), -122);
    vlx::fault::clear_all();
    vlx::fault::arm("vlx_Open->AMStreamConfig->SetFormat(Audio)", E_FAIL);
    EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), -123);
    vlx::fault::clear_all();
    vlx_SetAudioFormat(0, 0, 0);
    vlx_SetAudioDevice(-1);
}

}  // namespace
}  // namespace vlx_test
