// Real files from the shipped DLL on the test platform: AVI capture in modes
// 300 and 301 (with and without the test compressor) and MP4 files from the
// encoder. Each test checks what the host sees and leaves its file, with
// what the file must hold, in the manifest; check_files.py then reads every
// file with ffprobe and ffmpeg, tools nobody here wrote.
#include "common/media_foundation.h"
#include "dll/capture_fixture.h"
#include "platform/platform_output.h"
#include "frame_painter.h"
#include "support/message_window.h"
#include "vidlox_tp_mjpeg.h"

#include <dshow.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace vlx_test {
namespace {

// ---- AVI capture ----------------------------------------------------------

struct AviCase {
    int32_t mode;
    bool compressed;
    const char* file;
    const wchar_t* device = nullptr;  // the RGB24 test camera when null
};

class AviCapture : public Capture, public ::testing::WithParamInterface<AviCase> {};

TEST_P(AviCapture, RecordsTheCameraForTwoSeconds) {
    const AviCase c = GetParam();
    const std::wstring file = output_path(c.file);
    MessageWindow host;  // mode 301 renders through a Video Renderer of the builder's choice
    const auto owner = static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle()));
    const wchar_t* compressor = c.compressed ? VLXTP_MJPEG_NAME : nullptr;
    const int32_t device = c.device ? device_index(c.device) : camera;
    ASSERT_GE(device, 0);

    ASSERT_EQ(v.Open(device, c.mode, 0, reinterpret_cast<intptr_t>(file.c_str()), reinterpret_cast<intptr_t>(compressor)),
              0)
        << std::hex << v.GetLastError();
    const ULONGLONG started = GetTickCount64();
    ASSERT_GE(v.Play(owner, 0, 0, 320, 240), 0);
    // The preview branch keeps feeding the grabber while the file is written.
    const uint32_t first = grab_frame_number();
    for (int i = 0; i < 20; ++i) {
        host.pump();
        Sleep(100);
    }
    const uint32_t later = grab_frame_number();
    EXPECT_NE(first, UINT32_MAX);
    EXPECT_GE(later, first + 40) << "about 60 frames in two seconds";
    EXPECT_EQ(v.Stop(), 0);
    const ULONGLONG recorded_ms = GetTickCount64() - started;
    EXPECT_EQ(v.Close(), 0);
    EXPECT_EQ(camera_live_objects(), 0);
    for (const wchar_t* component : {L"vidlox-tp-capture64.dll", L"vidlox-tp-mjpeg64.dll"}) {
        const HMODULE module = GetModuleHandleW(component);
        const auto can_unload = module ? reinterpret_cast<HRESULT(WINAPI*)()>(
                                             reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))
                                       : nullptr;
        if (can_unload) {
            EXPECT_EQ(can_unload(), S_OK) << "objects of " << utf8(component) << " left alive";
        }
    }

    char line[256];
    std::snprintf(line, sizeof line,
                  R"({"file": "%s", "container": "avi", "codec": "%s", "width": 640, "height": 480, )"
                  R"("rate": "10000000/333333", "recorded_ms": %llu})",
                  c.file, c.compressed ? "mjpeg" : "rawvideo", recorded_ms);
    add_to_manifest(line);
}

INSTANTIATE_TEST_SUITE_P(Modes, AviCapture,
                         ::testing::Values(AviCase{300, false, "mode300.avi"}, AviCase{300, true, "mode300_mjpeg.avi"},
                                           AviCase{301, false, "mode301.avi"}, AviCase{301, true, "mode301_mjpeg.avi"}),
                         [](const auto& info) {
                             return "Mode" + std::to_string(info.param.mode) +
                                    (info.param.compressed ? "TestCompressor" : "Uncompressed");
                         });

// A YUY2 camera records as it sends (the decoder sits on the preview branch
// only), or through the decoder into the compressor; building its preview
// branch makes the graph try the mux's spare input pin on every path.
INSTANTIATE_TEST_SUITE_P(Yuy2Camera, AviCapture,
                         ::testing::Values(AviCase{300, false, "mode300_yuy2.avi", VLXCAM_NAME_YUY2},
                                           AviCase{301, false, "mode301_yuy2.avi", VLXCAM_NAME_YUY2},
                                           AviCase{300, true, "mode300_yuy2_mjpeg.avi", VLXCAM_NAME_YUY2}),
                         [](const auto& info) {
                             return "Mode" + std::to_string(info.param.mode) +
                                    (info.param.compressed ? "TestCompressor" : "Uncompressed");
                         });

// The AVI Mux refuses samples once stopped, as Windows' does: the graph
// stops the mux before the camera, whose streaming thread may still deliver
// one more sample. (Wine's own mux takes it and writes through the stream it
// has just released.)
TEST(AviMux, RefusesASampleThatArrivesAfterStop) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    {
        ComPtr<IGraphBuilder> graph;
        ComPtr<ICaptureGraphBuilder2> builder;
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.put_void()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICaptureGraphBuilder2, builder.put_void()), S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
        ComPtr<IBaseFilter> mux;
        const std::wstring file = output_path("stopped_mux.avi");
        ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file.c_str(), mux.put(), nullptr), S_OK);
        ComPtr<IBaseFilter> camera = bind_device(VLXCAM_NAME_MAIN);
        ASSERT_TRUE(camera);
        ASSERT_EQ(graph->AddFilter(camera.get(), L"Camera"), S_OK);
        ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.get(), nullptr, mux.get()),
                  S_OK);
        ComPtr<IMediaControl> control;
        ASSERT_EQ(graph.query(control), S_OK);
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        Sleep(300);
        ASSERT_EQ(control->Stop(), S_OK);

        // A late frame, as the camera's thread would deliver it.
        ComPtr<IPin> input;
        ASSERT_EQ(builder->FindPin(mux.get(), PINDIR_INPUT, nullptr, nullptr, FALSE, 0, input.put()), S_OK);
        ComPtr<IMemInputPin> receiver;
        ASSERT_EQ(input.query(receiver), S_OK);
        ComPtr<IMemAllocator> allocator;
        ASSERT_EQ(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                   allocator.put_void()), S_OK);
        ALLOCATOR_PROPERTIES wanted{1, 640 * 480 * 3, 1, 0}, got{};
        ASSERT_EQ(allocator->SetProperties(&wanted, &got), S_OK);
        ASSERT_EQ(allocator->Commit(), S_OK);
        ComPtr<IMediaSample> sample;
        ASSERT_EQ(allocator->GetBuffer(sample.put(), nullptr, nullptr, 0), S_OK);
        REFERENCE_TIME start = 100000000, stop = start + 333333;
        sample->SetTime(&start, &stop);
        sample->SetActualDataLength(wanted.cbBuffer);
        EXPECT_EQ(receiver->Receive(sample.get()), VFW_E_WRONG_STATE);
        sample.reset();
        allocator->Decommit();
        graph->RemoveFilter(camera.get());
    }
    CoUninitialize();
}

// Answers the dialog titled `caption` from a second thread while the test
// thread runs its modal loop: types `quality` (when given), then presses OK.
// Stops looking once the test thread's call has returned.
class DialogAnswer {
public:
    DialogAnswer(const wchar_t* caption, const wchar_t* quality)
        : thread_([this, caption, quality] {
              HWND dialog = nullptr;
              for (int i = 0; i < 6000 && !dialog && !returned_; ++i, Sleep(10)) dialog = FindWindowW(nullptr, caption);
              if (!dialog) return;
              if (quality) SetDlgItemTextW(dialog, VLXTP_MJPEG_IDC_QUALITY, quality);
              PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          }) {}
    ~DialogAnswer() {
        returned_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> returned_ = false;
    std::thread thread_;
};

// vlx_CodecDialog reaches the compressor that writes the file: the quality
// set in its Config dialog shows in the recorded frames.
TEST_F(Capture, CodecDialogConfiguresTheCompressorInTheGraph) {
    const std::wstring file = output_path("mode300_mjpeg_quality10.avi");
    ASSERT_EQ(v.Open(camera, 300, 0, reinterpret_cast<intptr_t>(file.c_str()),
                     reinterpret_cast<intptr_t>(VLXTP_MJPEG_NAME)),
              0);
    MessageWindow host;
    EXPECT_EQ(v.CodecDialog(host.handle(), VfwCompressDialog_QueryConfig), S_OK);
    EXPECT_EQ(v.CodecDialog(host.handle(), VfwCompressDialog_QueryAbout), S_OK);
    {
        DialogAnswer about(VLXTP_MJPEG_ABOUT_CAPTION, nullptr);
        EXPECT_EQ(v.CodecDialog(host.handle(), VfwCompressDialog_About), S_OK);
    }
    {
        DialogAnswer config(VLXTP_MJPEG_CONFIG_CAPTION, L"10");
        EXPECT_EQ(v.CodecDialog(host.handle(), VfwCompressDialog_Config), S_OK);
    }

    // A second of capture at that quality: the checker compares its frames
    // with those of the default quality.
    const ULONGLONG started = GetTickCount64();
    ASSERT_GE(v.Play(static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle())), 0, 0, 320, 240), 0);
    Sleep(1000);
    {
        // A compressor that is not the one streaming would show its dialog.
        DialogAnswer refused(VLXTP_MJPEG_CONFIG_CAPTION, nullptr);
        EXPECT_EQ(v.CodecDialog(host.handle(), VfwCompressDialog_Config), VFW_E_NOT_STOPPED);
    }
    EXPECT_EQ(v.Stop(), 0);
    const ULONGLONG recorded_ms = GetTickCount64() - started;
    EXPECT_EQ(v.Close(), 0);

    char line[256];
    std::snprintf(line, sizeof line,
                  R"({"file": "mode300_mjpeg_quality10.avi", "container": "avi", "codec": "mjpeg", "width": 640, )"
                  R"("height": 480, "rate": "10000000/333333", "recorded_ms": %llu, )"
                  R"("smaller_frames_than": "mode300_mjpeg.avi"})",
                  recorded_ms);
    add_to_manifest(line);
}

// ---- MP4 encoding -------------------------------------------------------

constexpr int32_t kWidth = 640, kHeight = 480;

// Frame `number` of the test camera's picture, rows as the encoder is told:
// bottom-up (a DIB, as vlx_GetImageMem gives it) or, for a write with row
// reversal, top-down.
std::vector<uint8_t> camera_frame(uint32_t number, int32_t bits_per_pixel, bool top_down) {
    vlxcam::FramePainter painter;
    const vlxcam::VideoFormat format{kWidth, kHeight, 333333};
    painter.configure(format);
    std::vector<uint8_t> dib(format.image_size());
    painter.paint(dib.data(), number);
    const size_t stride = ((static_cast<size_t>(kWidth) * bits_per_pixel + 31) / 32) * 4;
    std::vector<uint8_t> frame(stride * kHeight, 0);
    for (int32_t row = 0; row < kHeight; ++row) {
        const uint8_t* source = dib.data() + static_cast<size_t>(top_down ? kHeight - 1 - row : row) * format.stride();
        uint8_t* target = frame.data() + static_cast<size_t>(row) * stride;
        for (int32_t x = 0; x < kWidth; ++x) std::memcpy(target + x * bits_per_pixel / 8, source + x * 3, 3);
    }
    return frame;
}

class EncoderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(v.InitEncoder(), S_OK);
        id = v.CreateEncoder();
        ASSERT_GE(id, 0);
    }
    void TearDown() override {
        v.DeleteEncoder(id);
        EXPECT_EQ(v.UnInitEncoder(), S_OK);
    }
    // Writes `count` camera frames; their rows reach the writer bottom-up.
    void write_frames(uint32_t count, int32_t bits_per_pixel, bool reverse_rows) {
        for (uint32_t n = 0; n < count; ++n) {
            const std::vector<uint8_t> frame = camera_frame(n, bits_per_pixel, reverse_rows);
            ASSERT_EQ(v.WriteEncoder(id, frame.data(), reverse_rows ? 1 : 0), 0) << "frame " << n;
        }
    }
    void expect_in_manifest(const char* file, const char* profile, uint32_t frames, long frame_duration) {
        char line[256];
        std::snprintf(line, sizeof line,
                      R"({"file": "%s", "container": "mp4", "codec": "h264", "profile": "%s", "width": %d, )"
                      R"("height": %d, "frames": %u, "frame_duration": %ld})",
                      file, profile, kWidth, kHeight, frames, frame_duration);
        add_to_manifest(line);
    }

    const Vidlox& v = vidlox();
    int32_t id = -1;
};

struct Mp4Case {
    const char* file;
    int32_t codec;
    int32_t bits_per_pixel;
    double frame_rate;
    bool reverse_rows;
    const char* profile;  // as ffprobe names it
    long frame_duration;
};

class Mp4Encoding : public EncoderFiles, public ::testing::WithParamInterface<Mp4Case> {};

TEST_P(Mp4Encoding, ClosedEncoderLeavesACompleteFile) {
    const Mp4Case c = GetParam();
    const std::wstring file = output_path(c.file);
    ASSERT_EQ(v.OpenEncoder(id, file.c_str(), c.codec, kWidth, kHeight, c.bits_per_pixel, c.frame_rate, 4000000), 0);
    write_frames(30, c.bits_per_pixel, c.reverse_rows);
    EXPECT_EQ(v.CloseEncoder(id), 0);
    expect_in_manifest(c.file, c.profile, 30, c.frame_duration);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, Mp4Encoding,
    ::testing::Values(Mp4Case{"h264_baseline_rgb24.mp4", 1, 24, 30.0, false, "Constrained Baseline", 333333},
                      Mp4Case{"h264_main_rgb32_reversed.mp4", 2, 32, 25.0, true, "Main", 400000},
                      Mp4Case{"h264_high_rgb24_reversed.mp4", 3, 24, 29.97, true, "High", 333667}),
    [](const auto& info) { return "Codec" + std::to_string(info.param.codec); });

TEST_F(EncoderFiles, DeletingAnOpenEncoderFinalizesItsFile) {
    const std::wstring file = output_path("deleted_open.mp4");
    ASSERT_EQ(v.OpenEncoder(id, file.c_str(), 2, kWidth, kHeight, 24, 30.0, 4000000), 0);
    write_frames(12, 24, false);
    EXPECT_EQ(v.DeleteEncoder(id), 0);
    expect_in_manifest("deleted_open.mp4", "Main", 12, 333333);
}

TEST_F(EncoderFiles, CodecsWithoutAnEncoderFailWhereWindowsFails) {
    struct Refusal {
        const char* file;
        int32_t codec;
        int32_t width;
        int32_t expected;
    };
    // No HEVC, WMV3 or VP9 encoder: the input type finds no transform (-22);
    // an odd width suits no H.264 encoder (-22); an unknown extension names
    // no container (-4).
    for (const Refusal& r : {Refusal{"hevc.mp4", 5, kWidth, -22}, Refusal{"wmv3.wmv", 0, kWidth, -22},
                             Refusal{"vp9.mp4", 7, kWidth, -22}, Refusal{"odd.mp4", 2, 641, -22},
                             Refusal{"unknown.xyz", 2, kWidth, -4}}) {
        const std::wstring file = output_path(r.file);
        EXPECT_EQ(v.OpenEncoder(id, file.c_str(), r.codec, r.width, kHeight, 24, 30.0, 1000000), r.expected) << r.file;
        uint8_t frame[16] = {};
        EXPECT_EQ(v.WriteEncoder(id, frame, 0), -2) << r.file << ": the failed open left it closed";
    }
}

// The test platform's writer refuses a default stride shorter than a row of
// pixels with the input type, before a frame could be read past its end.
TEST(TestSinkWriter, RefusesAStrideShorterThanARow) {
    ASSERT_EQ(MFStartup(MF_VERSION, MFSTARTUP_LITE), S_OK);
    {
        const std::wstring file = output_path("stride_check.mp4");
        ComPtr<IMFSinkWriter> writer;
        ASSERT_EQ(MFCreateSinkWriterFromURL(file.c_str(), nullptr, nullptr, writer.put()), S_OK);
        ComPtr<IMFMediaType> output, input;
        ASSERT_EQ(MFCreateMediaType(output.put()), S_OK);
        output->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        output->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_H264);
        MFSetAttributeSize(output.get(), MF_MT_FRAME_SIZE, kWidth, kHeight);
        DWORD stream = 1;
        ASSERT_EQ(writer->AddStream(output.get(), &stream), S_OK);
        ASSERT_EQ(MFCreateMediaType(input.put()), S_OK);
        input->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        input->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB24);
        MFSetAttributeSize(input.get(), MF_MT_FRAME_SIZE, kWidth, kHeight);
        const int32_t row = kWidth * 3;
        for (const auto& [stride, expected] : {std::pair{row - 1, MF_E_INVALIDMEDIATYPE},
                                               std::pair{-(row - 1), MF_E_INVALIDMEDIATYPE},
                                               std::pair{INT32_MIN, MF_E_INVALIDMEDIATYPE}, std::pair{-row, S_OK}}) {
            input->SetUINT32(MF_MT_DEFAULT_STRIDE, static_cast<UINT32>(stride));
            EXPECT_EQ(writer->SetInputMediaType(stream, input.get(), nullptr), expected) << "stride " << stride;
        }
    }
    EXPECT_EQ(MFShutdown(), S_OK);
}

}  // namespace
}  // namespace vlx_test
