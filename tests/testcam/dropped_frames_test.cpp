// The capture pin's IAMDroppedFrames: frames the camera never sent because
// the downstream held it up past their time.
#include "camera_fixture.h"
#include "vidlox_testcam.h"

#include <algorithm>

namespace vlx_test {
namespace {

// Holds the stream up for 100 ms (three frame times) at every tenth frame.
class LateSink final : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        BYTE* bytes = nullptr;
        sample->GetPointer(&bytes);
        numbers.push_back(vlxcam_read_frame_number(bytes, 640, 480));
        if (numbers.size() % 10 == 5) Sleep(100);
        return S_OK;
    }
    std::vector<uint32_t> numbers;  // the streaming thread's alone while the graph runs
};

TEST_F(CameraTest, ALateDownstreamIsCountedAsDroppedFrames) {
    FrameRecorder recorder;
    CameraGraph g;
    ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
    ComPtr<IAMDroppedFrames> dropped;
    ASSERT_EQ(g.builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, g.camera.get(), IID_IAMDroppedFrames,
                                       dropped.put_void()),
              S_OK);
    LateSink sink;
    ASSERT_EQ(g.grabber->SetCallback(&sink, 0), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    Sleep(1500);
    g.control->Stop();

    std::vector<LONG> missing;
    for (size_t i = 1; i < sink.numbers.size(); ++i)
        for (uint32_t n = sink.numbers[i - 1] + 1; n < sink.numbers[i]; ++n) missing.push_back(static_cast<LONG>(n));
    // The camera counts a gap before it sends the frame after it, so every
    // gap the sink saw is counted. Stop may catch the last frame on its way:
    // its Receive can fail after the sink saw it (not delivered), and frames
    // it held up past their time are dropped after the last one seen.
    LONG count = -1, delivered = -1, copied = -1;
    ASSERT_EQ(dropped->GetNumDropped(&count), S_OK);
    ASSERT_EQ(dropped->GetNumNotDropped(&delivered), S_OK);
    ASSERT_FALSE(sink.numbers.empty());
    EXPECT_GE(missing.size(), 4u);
    EXPECT_GE(count, static_cast<LONG>(missing.size()));
    const auto seen = static_cast<LONG>(sink.numbers.size());
    EXPECT_TRUE(delivered == seen || delivered == seen - 1) << delivered << " delivered, " << seen << " seen";
    std::vector<LONG> numbers(64);
    ASSERT_EQ(dropped->GetDroppedInfo(64, numbers.data(), &copied), S_OK);
    EXPECT_EQ(copied, std::min<LONG>(count, 64));
    numbers.resize(static_cast<size_t>(copied));
    const auto last_seen = static_cast<LONG>(sink.numbers.back());
    std::vector<LONG> before_last;
    for (LONG n : numbers) {
        if (n < last_seen) before_last.push_back(n);
        else EXPECT_GT(n, last_seen) << "a frame seen is never counted as dropped";
    }
    EXPECT_EQ(before_last, missing) << "the dropped frames' numbers, oldest first";
    LONG average = 0;
    EXPECT_EQ(dropped->GetAverageFrameSize(&average), S_OK);
    EXPECT_EQ(average, 640 * 480 * 3);
}

}  // namespace
}  // namespace vlx_test
