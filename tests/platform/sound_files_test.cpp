// Files with sound on the test platform. The AVI Mux with an audio stream
// writes the file itself (testplatform/capture_builder/avi_mux.h); each test
// leaves its file in the manifest with what it must hold, for check_files.py.
#include "dll/capture_fixture.h"
#include "dll/device_health.h"
#include "dll/sound_exports.h"
#include "support/message_window.h"
#include "platform/platform_output.h"
#include "vidlox_testcam.h"
#include "vidlox_tp_mjpeg.h"

#include <dshow.h>
#include <mmreg.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace vlx_test {
namespace {

struct Allocator {
    ComPtr<IMemAllocator> allocator;
    explicit Allocator(long size) {
        CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                         allocator.put_void());
        ALLOCATOR_PROPERTIES wanted{1, size, 1, 0}, got{};
        if (allocator && SUCCEEDED(allocator->SetProperties(&wanted, &got))) allocator->Commit();
    }
    ~Allocator() {
        if (allocator) allocator->Decommit();
    }
    // A sample of `size` bytes of `fill`, stamped [start, stop).
    ComPtr<IMediaSample> sample(long size, BYTE fill, REFERENCE_TIME start, REFERENCE_TIME stop) {
        ComPtr<IMediaSample> sample;
        BYTE* bytes = nullptr;
        if (FAILED(allocator->GetBuffer(sample.put(), nullptr, nullptr, 0)) || FAILED(sample->GetPointer(&bytes)))
            return {};
        std::memset(bytes, fill, static_cast<size_t>(size));
        sample->SetActualDataLength(size);
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        return sample;
    }
};

// The mux fed directly, without sources: 4096x4096 RGB24 frames (48 MiB
// each) at 30 fps and 40 ms blocks of 48 kHz stereo 16-bit PCM, 22 frames
// with slot 5 left out (a dropped frame) and 200 ms of audio left out at
// 400 ms (silence fills it): 1.1 GiB, past the first RIFF part.
TEST(AviMux, KeepsBothStreamsPastOneGibibyte) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    {
        ComPtr<IGraphBuilder> graph;
        ComPtr<ICaptureGraphBuilder2> builder;
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.put_void()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICaptureGraphBuilder2, builder.put_void()), S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
        ComPtr<IBaseFilter> mux, writer;
        const std::wstring file = output_path("past_one_gibibyte.avi");
        ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file.c_str(), mux.put(), nullptr), S_OK);
        ASSERT_EQ(graph->FindFilterByName(L"File Writer", writer.put()), S_OK);
        ComPtr<IConfigAviMux> config;
        ASSERT_EQ(mux.query(config), S_OK);
        EXPECT_EQ(config->SetMasterStream(1), S_OK);

        // Any output pins stand for the sources: the mux only records them.
        ComPtr<IBaseFilter> camera = bind_device(VLXCAM_NAME_MAIN), microphone = bind_device(VLXCAM_NAME_MICROPHONE, CLSID_AudioInputDeviceCategory);
        ASSERT_TRUE(camera && microphone);
        ComPtr<IPin> camera_pin, microphone_pin, video_in, audio_in;
        ASSERT_EQ(camera->FindPin(L"Capture", camera_pin.put()), S_OK);
        ASSERT_EQ(microphone->FindPin(L"Capture", microphone_pin.put()), S_OK);

        constexpr LONG kSide = 4096;
        VIDEOINFOHEADER video{};
        video.AvgTimePerFrame = 333333;
        video.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, kSide, 1, 24, BI_RGB, kSide * kSide * 3, 0, 0, 0, 0};
        AM_MEDIA_TYPE video_type{MEDIATYPE_Video, MEDIASUBTYPE_RGB24, TRUE, FALSE, kSide * kSide * 3,
                                 FORMAT_VideoInfo, nullptr, sizeof video, reinterpret_cast<BYTE*>(&video)};
        WAVEFORMATEX wave{WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};
        AM_MEDIA_TYPE audio_type{MEDIATYPE_Audio, MEDIASUBTYPE_PCM, TRUE, FALSE, 4, FORMAT_WaveFormatEx, nullptr,
                                 sizeof wave, reinterpret_cast<BYTE*>(&wave)};
        ASSERT_EQ(builder->FindPin(mux.get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0, video_in.put()), S_OK);
        ASSERT_EQ(video_in->ReceiveConnection(camera_pin.get(), &video_type), S_OK);
        ASSERT_EQ(builder->FindPin(mux.get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0, audio_in.put()), S_OK);
        ASSERT_EQ(audio_in->ReceiveConnection(microphone_pin.get(), &audio_type), S_OK);

        ASSERT_EQ(writer->Run(0), S_OK);
        ASSERT_EQ(mux->Run(0), S_OK);
        ComPtr<IMemInputPin> video_receiver, audio_receiver;
        ASSERT_EQ(video_in.query(video_receiver), S_OK);
        ASSERT_EQ(audio_in.query(audio_receiver), S_OK);
        {
            Allocator frames(kSide * kSide * 3), blocks(7680);
            int block = 0;
            for (int slot = 0; slot <= 22; ++slot) {
                for (; block * 400000LL <= slot * 333333LL; ++block) {
                    if (block == 10 || block == 11 || block == 12 || block == 13 || block == 14) continue;
                    ComPtr<IMediaSample> pcm = blocks.sample(7680, 0x10, block * 400000LL, (block + 1) * 400000LL);
                    ASSERT_TRUE(pcm);
                    ASSERT_EQ(audio_receiver->Receive(pcm.get()), S_OK);
                }
                if (slot == 5) continue;
                ComPtr<IMediaSample> frame = frames.sample(kSide * kSide * 3, static_cast<BYTE>(slot * 10),
                                                           slot * 333333LL, (slot + 1) * 333333LL);
                ASSERT_TRUE(frame);
                ASSERT_EQ(video_receiver->Receive(frame.get()), S_OK);
            }
        }
        EXPECT_EQ(mux->Stop(), S_OK);
        EXPECT_EQ(writer->Stop(), S_OK);
        video_in->Disconnect();
        audio_in->Disconnect();
        add_to_manifest(R"({"kind": "mux", "file": "past_one_gibibyte.avi", "width": 4096, "height": 4096,)"
                        R"( "frames": 23, "empty_frames": 1, "audio_seconds": 0.76, "sample_rate": 48000,)"
                        R"( "channels": 2, "codec": "pcm_s16le", "min_bytes": 1073741824, "riff_parts": 2})");
    }
    CoUninitialize();
}

class SoundFiles : public Capture {
protected:
    void TearDown() override {
        sound().SetAudioDevice(-1);
        Capture::TearDown();
    }
    // Opens the camera with the test microphone into `file` in `mode`
    // (through `compressor`, if any) and runs it.
    void record(const char* file, int32_t mode = 300, const wchar_t* compressor = nullptr) {
        const int32_t microphone = audio_device_index(VLXCAM_NAME_MICROPHONE);
        ASSERT_GE(microphone, 0);
        ASSERT_EQ(sound().SetAudioDevice(microphone), 0);
        const std::wstring path = output_path(file);
        ASSERT_EQ(v.Open(camera, mode, 0, reinterpret_cast<intptr_t>(path.c_str()), reinterpret_cast<intptr_t>(compressor)), 0);
        ASSERT_GE(v.Play2(), 0);
    }
    void expect_in_manifest(const char* file, double seconds, double audio_seconds = 0, const char* video = "rawvideo") {
        char line[360];
        std::snprintf(line, sizeof line,
                      R"({"kind": "sound", "file": "%s", "width": 640, "height": 480, "seconds": %.1f,)"
                      R"( "audio_seconds": %.1f, "sample_rate": 48000, "channels": 2, "codec": "pcm_s16le",)"
                      R"( "video_codec": "%s"})",
                      file, seconds, audio_seconds ? audio_seconds : seconds, video);
        add_to_manifest(line);
    }
};

// The camera and the microphone recorded together, at the library's
// defaults (the microphone's clock for the graph, its master stream,
// capture interleaving): check_files.py finds each flash beside its click.
// Its microphone runs 1 % fast (a file on two free clocks would drift 40 ms
// in 4 s): the picture follows the sound's clock.
TEST_F(SoundFiles, RecordsTheMicrophoneWithThePictureInSyncOnTheMicrophonesClock) {
    ASSERT_EQ(device_health().SetClockError(VLXCAM_PATH_MICROPHONE, 10000), 0);
    record("with_sound.avi");
    int32_t rate = 0, channels = 0, bits = 0;
    EXPECT_EQ(sound().GetAudioFormat(&rate, &channels, &bits), 0);
    EXPECT_EQ(rate * 1000 + channels * 100 + bits, 48000 * 1000 + 2 * 100 + 16);
    Sleep(4500);
    EXPECT_EQ(v.Stop(), 0);
    EXPECT_EQ(v.Close(), 0);
    EXPECT_EQ(device_health().SetClockError(VLXCAM_PATH_MICROPHONE, 0), 0);
    expect_in_manifest("with_sound.avi", 4.5);
}

// Mode 301, and the picture through the test platform's MJPEG compressor:
// the same two streams, in sync.
TEST_F(SoundFiles, EveryAviModeAndACompressorKeepTheSoundInSync) {
    struct Case {
        const char* file;
        int32_t mode;
        const wchar_t* compressor;
        const char* video;
    } const cases[] = {{"with_sound_301.avi", 301, nullptr, "rawvideo"},
                       {"with_sound_mjpeg.avi", 300, VLXTP_MJPEG_NAME, "mjpeg"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        record(c.file, c.mode, c.compressor);
        Sleep(2500);
        EXPECT_EQ(v.Close(), 0);
        expect_in_manifest(c.file, 2.5, 0, c.video);
    }
}

// The microphone pulled out a second and a half in: the picture goes on,
// the device state names the audio device, and the file closed by
// vlx_Close holds both streams as far as each came.
TEST_F(SoundFiles, AMicrophoneLostMidRecordingLeavesThePictureGoing) {
    const DeviceHealth& h = device_health();
    MessageWindow window(WM_APP + 9);
    ASSERT_EQ(h.SetDeviceNotify(window.handle(), WM_APP + 9), 0);
    record("microphone_lost.avi");
    Sleep(1500);
    ASSERT_EQ(h.Unplug(VLXCAM_PATH_MICROPHONE), 0);
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_AUDIO_LOST, 3000), VLX_DEVICE_AUDIO_LOST);
    Sleep(1500);
    EXPECT_EQ(h.GetDeviceState(), VLX_DEVICE_AUDIO_LOST) << "the picture still comes";
    std::vector<LPARAM> posted;
    for (const PostedMessage& m : window.pump()) posted.push_back(m.lparam);
    EXPECT_NE(std::find(posted.begin(), posted.end(), VLX_DEVICE_AUDIO_LOST), posted.end());
    EXPECT_EQ(v.Close(), 0);
    EXPECT_EQ(h.SetDeviceNotify(nullptr, 0), 0);
    EXPECT_EQ(h.Replug(VLXCAM_PATH_MICROPHONE), 0);
    expect_in_manifest("microphone_lost.avi", 3.0, 1.5);
}

}  // namespace
}  // namespace vlx_test
