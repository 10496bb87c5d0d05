// The test microphone as a DirectShow client meets it (its formats, buffers,
// clock and signal), and the camera's flash on the same stream time.
#include "camera_fixture.h"
#include "common/media_type.h"
#include "vidlox_testcam.h"

#include <dshow.h>
#include <mmreg.h>

#include <cmath>
#include <mutex>
#include <vector>

namespace vlx_test {
namespace {

using SetClockError = int32_t(__cdecl*)(const wchar_t*, int32_t);

SetClockError clock_error_export() {
    return reinterpret_cast<SetClockError>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"vidlox-testcam64.dll"), "vlxcam_SetClockError")));
}

ComPtr<IPin> capture_pin(IBaseFilter* filter) {
    ComPtr<IPin> pin;
    filter->FindPin(L"Capture", pin.put());
    return pin;
}

class Microphone : public CameraTest {};

TEST_F(Microphone, OffersItsFormatsAndTakesOneWhileStopped) {
    ComPtr<IBaseFilter> microphone = bind_device(VLXCAM_NAME_MICROPHONE, CLSID_AudioInputDeviceCategory);
    ASSERT_TRUE(microphone);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(capture_pin(microphone.get()).query(config), S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, VLXCAM_MICROPHONE_FORMAT_COUNT);
    EXPECT_EQ(size, static_cast<int>(sizeof(AUDIO_STREAM_CONFIG_CAPS)));
    vlx::MediaTypePtr type;
    AUDIO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(config->GetStreamCaps(count, type.put(), reinterpret_cast<BYTE*>(&caps)), S_FALSE);
    ASSERT_EQ(config->GetStreamCaps(3, type.put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(caps.MinimumSampleFrequency * 100 + caps.MaximumChannels, 4410001UL) << "44100 Hz mono";
    ASSERT_EQ(config->SetFormat(type.get()), S_OK);
    vlx::MediaTypePtr now;
    ASSERT_EQ(config->GetFormat(now.put()), S_OK);
    EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(now->pbFormat)->nSamplesPerSec, 44100u);
    reinterpret_cast<WAVEFORMATEX*>(type->pbFormat)->nSamplesPerSec = 22050;  // not offered
    EXPECT_EQ(config->SetFormat(type.get()), VFW_E_INVALIDMEDIATYPE);
    ComPtr<IAMBufferNegotiation> buffers;
    ASSERT_EQ(capture_pin(microphone.get()).query(buffers), S_OK);
    ALLOCATOR_PROPERTIES properties{};
    EXPECT_EQ(buffers->GetAllocatorProperties(&properties), E_FAIL) << "nothing allocated before it connects";

    ComPtr<IBaseFilter> refusing = bind_device(VLXCAM_NAME_MICROPHONE_REFUSES, CLSID_AudioInputDeviceCategory);
    ASSERT_TRUE(refusing);
    ComPtr<IAMStreamConfig> refused;
    ASSERT_EQ(capture_pin(refusing.get()).query(refused), S_OK);
    EXPECT_EQ(refused->SetFormat(type.get()), VFW_E_INVALIDMEDIATYPE);
}

// Its clock runs by the clock error, continuously across a change, and
// signals what is asked of it on its own time.
TEST_F(Microphone, ItsClockRunsByTheClockErrorAndSignalsAdvice) {
    const SetClockError set_clock_error = clock_error_export();
    ASSERT_TRUE(set_clock_error);
    ComPtr<IBaseFilter> microphone = bind_device(VLXCAM_NAME_MICROPHONE, CLSID_AudioInputDeviceCategory);
    ComPtr<IReferenceClock> clock;
    ASSERT_TRUE(microphone);
    ASSERT_EQ(microphone.query(clock), S_OK);
    EXPECT_EQ(set_clock_error(L"no such microphone", 10), -1);
    EXPECT_EQ(set_clock_error(VLXCAM_PATH_MICROPHONE, 1000000), -2);
    ASSERT_EQ(set_clock_error(VLXCAM_PATH_MICROPHONE, 100000), 0);  // 10 % fast
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    REFERENCE_TIME start = 0, end = 0;
    QueryPerformanceCounter(&before);
    clock->GetTime(&start);
    Sleep(200);
    QueryPerformanceCounter(&after);
    clock->GetTime(&end);
    const double real = static_cast<double>(after.QuadPart - before.QuadPart) / frequency.QuadPart * 1e7;
    EXPECT_NEAR((end - start) / real, 1.1, 0.01);
    ASSERT_EQ(set_clock_error(VLXCAM_PATH_MICROPHONE, 0), 0);
    REFERENCE_TIME later = 0;
    clock->GetTime(&later);
    EXPECT_GE(later, end) << "never back";

    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 100, nullptr);
    DWORD_PTR once = 0, periodic = 0;
    ASSERT_EQ(clock->AdviseTime(later, 500000, reinterpret_cast<HEVENT>(event), &once), S_OK);
    ASSERT_EQ(clock->AdvisePeriodic(later, 200000, reinterpret_cast<HSEMAPHORE>(semaphore), &periodic), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(semaphore, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(clock->Unadvise(periodic), S_OK);
    EXPECT_EQ(clock->Unadvise(once), S_FALSE) << "a single advice ends when signalled";
    CloseHandle(event);
    CloseHandle(semaphore);
}

// Takes the blocks as a capture graph's grabber sees them.
class Blocks final : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_ISampleGrabberCB) || IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        REFERENCE_TIME start = 0, stop = 0;
        BYTE* bytes = nullptr;
        sample->GetTime(&start, &stop);
        sample->GetPointer(&bytes);
        std::lock_guard guard(lock);
        starts.push_back(start);
        sizes.push_back(sample->GetActualDataLength());
        if (first.empty()) first.assign(bytes, bytes + sample->GetActualDataLength());
        return S_OK;
    }
    std::mutex lock;
    std::vector<REFERENCE_TIME> starts;
    std::vector<long> sizes;
    std::vector<BYTE> first;
};

// Blocks of the size IAMBufferNegotiation asked, stamped from stream time 0
// on its own clock, the first beginning with the 10 ms click.
TEST_F(Microphone, BlocksOfTheAskedSizeFromStreamTimeZeroWithTheClick) {
    Blocks blocks;
    {
        ComPtr<IGraphBuilder> graph;
        ComPtr<ICaptureGraphBuilder2> builder;
        ComPtr<IBaseFilter> grabber_filter, renderer;
        ComPtr<ISampleGrabber> grabber;
        ComPtr<IMediaControl> control;
        ComPtr<IMediaFilter> timing;
        ComPtr<IReferenceClock> clock;
        ComPtr<IAMBufferNegotiation> buffers;
        ComPtr<IBaseFilter> microphone = bind_device(VLXCAM_NAME_MICROPHONE, CLSID_AudioInputDeviceCategory);
        ASSERT_TRUE(microphone);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                   builder.put_void()), S_OK);
        ASSERT_EQ(CoCreateInstance(vlx::kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   grabber_filter.put_void()), S_OK);
        ASSERT_EQ(CoCreateInstance(vlx::kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.put_void()), S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
        for (auto [filter, name] : {std::pair{microphone.get(), L"Microphone"}, std::pair{grabber_filter.get(), L"Grabber"},
                                    std::pair{renderer.get(), L"Renderer"}})
            ASSERT_EQ(graph->AddFilter(filter, name), S_OK);
        ASSERT_EQ(grabber_filter.query(grabber), S_OK);
        ASSERT_EQ(grabber->SetCallback(&blocks, 0), S_OK);
        ASSERT_EQ(capture_pin(microphone.get()).query(buffers), S_OK);
        ALLOCATOR_PROPERTIES asked{-1, 3840, -1, -1};  // 20 ms of 48 kHz stereo 16-bit
        ASSERT_EQ(buffers->SuggestAllocatorProperties(&asked), S_OK);
        ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, microphone.get(), grabber_filter.get(),
                                        renderer.get()), S_OK);
        ALLOCATOR_PROPERTIES got{};
        ASSERT_EQ(buffers->GetAllocatorProperties(&got), S_OK);
        EXPECT_EQ(got.cbBuffer, 3840);
        ASSERT_EQ(microphone.query(clock), S_OK);
        ASSERT_EQ(graph.query(timing), S_OK);
        ASSERT_EQ(timing->SetSyncSource(clock.get()), S_OK);
        ASSERT_EQ(graph.query(control), S_OK);
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        for (int waited = 0; waited < 5000; waited += 20) {
            Sleep(20);
            std::lock_guard guard(blocks.lock);
            if (blocks.starts.size() >= 8) break;
        }
        control->Stop();
        timing->SetSyncSource(nullptr);
        grabber->SetCallback(nullptr, 0);
    }
    ASSERT_GE(blocks.starts.size(), 8u);
    for (size_t i = 0; i < blocks.starts.size(); ++i) {
        EXPECT_EQ(blocks.starts[i], static_cast<REFERENCE_TIME>(i) * 200000) << "block " << i;
        EXPECT_EQ(blocks.sizes[i], 3840);
    }
    const auto sample = [&](size_t frame) { return static_cast<int16_t>(blocks.first[frame * 4] | blocks.first[frame * 4 + 1] << 8); };
    EXPECT_EQ(sample(0), 29490) << "0.9 of full scale";
    EXPECT_EQ(sample(24), -29490) << "the square wave's second half period";
    EXPECT_EQ(sample(VLXCAM_CLICK_MS * 48 - 1), -29490);
    EXPECT_EQ(sample(VLXCAM_CLICK_MS * 48), 0) << "the click lasts 10 ms";
}

// Frames paced on the graph's clock from stream time 0: frame n is stamped n
// intervals, and the frame of each whole second carries the flash.
TEST_F(Microphone, TheCameraFlashesOnEachSecondOfStreamTime) {
    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        EXPECT_TRUE(recorder.wait_for_frames(35, 10000));
        g.control->Stop();
    }
    const std::vector<double> times = recorder.times();
    const std::vector<bool> flashes = recorder.flashes();
    ASSERT_GE(flashes.size(), 35u);
    for (size_t i = 0; i < flashes.size(); ++i) {
        const long long slot = std::llround(times[i] * 1e7 / 333333);
        EXPECT_NEAR(times[i], slot * 333333 / 1e7, 1e-6) << "frame " << i << " off its slot";
        EXPECT_EQ(flashes[i], slot % 30 == 0) << "frame " << i << " at " << times[i] << " s";
    }
}

}  // namespace
}  // namespace vlx_test
