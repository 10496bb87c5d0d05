// The shared camera's source filter in this process, driven by hand: a
// publisher of our own on its channel (the transport's writer), the filter
// made from its class, and a sink whose allocator holds one buffer.
#include "comkit/filter_base.h"
#include "common/media_type.h"
#include "sharecam/transport/channel_writer.h"
#include "vidlox_sharecam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using vlx::ComPtr;
using namespace vlxshare::transport;

constexpr int32_t kChannel = 3;
const CLSID kChannelClass = VLXSHARE_CLSID_3;

// Frames the sink saw: the publisher's number (its first four bytes, for an
// RGB24 connection of the publisher's size), or -1 for "no signal".
struct Seen {
    std::mutex lock;
    std::vector<int64_t> numbers;
    size_t count() {
        std::lock_guard guard(lock);
        return numbers.size();
    }
    // The publisher's frames seen, in order.
    std::vector<int64_t> real() {
        std::lock_guard guard(lock);
        std::vector<int64_t> frames;
        for (int64_t n : numbers)
            if (n > 0) frames.push_back(n);
        return frames;
    }
    bool wait_for(size_t count) {
        for (ULONGLONG end = GetTickCount64() + 20000; GetTickCount64() < end; Sleep(1))
            if (this->count() >= count) return true;
        return false;
    }
};

// The memory allocator, held to one buffer whatever the source asks.
class OneBuffer final : public vlxcom::ComObject<IMemAllocator> {
public:
    OneBuffer() {
        CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator, inner_.put_void());
    }
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* wanted, ALLOCATOR_PROPERTIES* actual) override {
        ALLOCATOR_PROPERTIES one = *wanted;
        one.cBuffers = 1;
        return inner_->SetProperties(&one, actual);
    }
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* p) override { return inner_->GetProperties(p); }
    STDMETHODIMP Commit() override { return inner_->Commit(); }
    STDMETHODIMP Decommit() override { return inner_->Decommit(); }
    STDMETHODIMP GetBuffer(IMediaSample** s, REFERENCE_TIME* a, REFERENCE_TIME* b, DWORD f) override {
        return inner_->GetBuffer(s, a, b, f);
    }
    STDMETHODIMP ReleaseBuffer(IMediaSample* s) override { return inner_->ReleaseBuffer(s); }

private:
    ComPtr<IMemAllocator> inner_;
};

class SinkPin final : public vlxcom::InputPin {
public:
    SinkPin(vlxcom::Filter& filter, Seen& seen, DWORD delay_ms)
        : InputPin(filter, L"In"), seen_(seen), delay_ms_(delay_ms) {}
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override {
        return vlxcom::create_object<OneBuffer>(IID_IMemAllocator, reinterpret_cast<void**>(allocator));
    }

protected:
    bool accepts(const AM_MEDIA_TYPE& type) const override { return IsEqualGUID(type.majortype, MEDIATYPE_Video); }
    HRESULT receive(IMediaSample* sample) override {
        BYTE* bits = nullptr;
        sample->GetPointer(&bits);
        int32_t number = -1;
        const bool blank = bits[0] == VLXSHARE_NO_SIGNAL_B && bits[1] == VLXSHARE_NO_SIGNAL_G &&
                           bits[2] == VLXSHARE_NO_SIGNAL_R;
        if (!blank) std::memcpy(&number, bits, sizeof number);
        {
            std::lock_guard guard(seen_.lock);
            seen_.numbers.push_back(number);
        }
        Sleep(delay_ms_);
        return S_OK;
    }

private:
    Seen& seen_;
    DWORD delay_ms_;
};

class Sink final : public vlxcom::Filter {
public:
    Sink(Seen& seen, DWORD delay_ms) : Filter(GUID_NULL), pin_(*this, seen, delay_ms) {}
    IPin* pin() { return &pin_; }

protected:
    std::vector<IPin*> pins() override { return {&pin_}; }

private:
    SinkPin pin_;
};

// Publishes `width` x `height` frames numbered from 1 every `period_ms` on
// the channel, on a thread of its own (which claims and gives the channel
// up), until stopped or `count` frames went out.
class Publisher {
public:
    Publisher(int32_t width, int32_t height, DWORD period_ms, int64_t count = INT64_MAX) {
        thread_ = std::thread([=, this] {
            ChannelWriter writer;
            if (writer.open(kChannel) != ClaimResult::claimed) return;
            FrameFacts facts;
            facts.width = width;
            facts.height = height;
            facts.stride = rgb24_stride(width);
            facts.bytes = facts.stride * static_cast<uint32_t>(height);
            facts.frame_interval = period_ms * 10000;
            std::vector<uint8_t> pixels(facts.bytes, 0x40);
            const ULONGLONG start = GetTickCount64();
            for (int32_t n = 1; n <= count && !stop_; ++n) {
                std::memcpy(pixels.data(), &n, sizeof n);
                writer.write(facts, pixels.data());
                Sleep(period_ms);
            }
            elapsed_ms = GetTickCount64() - start;
            Sleep(300);  // the readers take the last frames before it goes
        });
    }
    ~Publisher() { stop(); }
    void stop() {
        stop_ = true;
        finish();
    }
    // Waits until its frames went out and it gave the channel up.
    void finish() {
        if (thread_.joinable()) thread_.join();
    }
    ULONGLONG elapsed_ms = 0;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A FORMAT_VideoInfo type, as a host fills one in.
struct VideoType {
    VIDEOINFOHEADER info{};
    AM_MEDIA_TYPE type{};
    VideoType(const GUID& subtype, int32_t width, int32_t height, REFERENCE_TIME interval) {
        const bool rgb = IsEqualGUID(subtype, MEDIASUBTYPE_RGB24);
        info.AvgTimePerFrame = interval;
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(rgb ? 24 : 16),
                          rgb ? BI_RGB : subtype.Data1, 0, 0, 0, 0, 0};
        type = {MEDIATYPE_Video, subtype, TRUE, FALSE, 0, FORMAT_VideoInfo, nullptr, sizeof info,
                reinterpret_cast<BYTE*>(&info)};
    }
    VideoType(const VideoType&) = delete;
    AM_MEDIA_TYPE* get() { return &type; }
};

// The filter of the channel, connected to a sink, driven without a graph.
struct Chain {
    Seen seen;
    ComPtr<IBaseFilter> source;
    ComPtr<IPin> out;
    ComPtr<Sink> sink;

    HRESULT connect(AM_MEDIA_TYPE* type, DWORD sink_delay_ms = 0) {
        HRESULT hr = CoCreateInstance(kChannelClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      source.put_void());
        if (FAILED(hr)) return hr;
        ComPtr<IEnumPins> pins;
        source->EnumPins(pins.put());
        pins->Next(1, out.put(), nullptr);
        sink = ComPtr<Sink>::adopt(new Sink(seen, sink_delay_ms));
        return out->Connect(sink->pin(), type);
    }
    void run() {
        sink->Run(0);
        source->Run(0);
    }
    void pause() {
        source->Pause();
        sink->Pause();
    }
    ~Chain() {
        if (source) source->Stop();
        if (sink) sink->Stop();
        if (out) out->Disconnect();
    }
};

class SharedCameraSource : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
};

// Frames keep coming through 200 Pause and Run in a row, into one buffer,
// straight from the ring, scaled and converted.
TEST_F(SharedCameraSource, PauseAndRunTogglesIntoOneBufferNeverStopTheStream) {
    struct Case {
        const char* what;
        GUID subtype;
        int32_t width, height;
    };
    const Case cases[] = {{"RGB24 of the publisher's size", MEDIASUBTYPE_RGB24, 64, 48},
                          {"YUY2", MEDIASUBTYPE_YUY2, 64, 48},
                          {"RGB24 scaled", MEDIASUBTYPE_RGB24, 128, 96}};
    // Small frames as fast as they come: the streaming thread spends its
    // time between waits, where a toggle once lost its wake-up.
    Publisher publisher(64, 48, 0);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Chain chain;
        const REFERENCE_TIME fastest = VLXSHARE_FASTEST_FRAME_INTERVAL;
        ASSERT_EQ(chain.connect(VideoType(test.subtype, test.width, test.height, fastest).get()), S_OK);
        chain.run();
        ASSERT_TRUE(chain.seen.wait_for(10));
        // Each toggle lands somewhere in the streaming thread's round.
        for (int i = 0; i < 200; ++i) {
            const size_t before = chain.seen.count();
            chain.pause();
            chain.run();
            ASSERT_TRUE(chain.seen.wait_for(before + 1)) << "the stream goes on after toggle " << i;
        }
    }
}

TEST_F(SharedCameraSource, QueryAcceptTakesTheConnectionAloneAndTheRateIsBounded) {
    Chain chain;
    ASSERT_EQ(chain.connect(VideoType(MEDIASUBTYPE_RGB24, 320, 240, 333333).get()), S_OK);
    EXPECT_EQ(chain.out->QueryAccept(VideoType(MEDIASUBTYPE_RGB24, 320, 240, 333333).get()), S_OK);
    EXPECT_EQ(chain.out->QueryAccept(VideoType(MEDIASUBTYPE_RGB24, 640, 480, 333333).get()), S_FALSE);
    EXPECT_EQ(chain.out->QueryAccept(VideoType(MEDIASUBTYPE_YUY2, 320, 240, 333333).get()), S_FALSE);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(chain.out->QueryInterface(IID_IAMStreamConfig, config.put_void()), S_OK);
    for (const REFERENCE_TIME interval : {REFERENCE_TIME{1}, REFERENCE_TIME{VLXSHARE_FASTEST_FRAME_INTERVAL - 1},
                                          REFERENCE_TIME{VLXSHARE_SLOWEST_FRAME_INTERVAL + 1}, INT64_MAX})
        EXPECT_EQ(config->SetFormat(VideoType(MEDIASUBTYPE_RGB24, 320, 240, interval).get()), VFW_E_INVALIDMEDIATYPE)
            << interval;
}

// A reader that asks 15 frames per second of a publisher sending about 100
// gets frames at least (15 fps minus the publisher's half interval) apart.
TEST_F(SharedCameraSource, TheRateTheReaderAskedIsTheRateItGets) {
    Chain chain;
    ASSERT_EQ(chain.connect(VideoType(MEDIASUBTYPE_RGB24, 320, 240, 666666).get()), S_OK);
    chain.run();
    Publisher publisher(320, 240, 10, 60);
    publisher.finish();
    const size_t real = chain.seen.real().size();
    EXPECT_GT(real, 0u);
    EXPECT_LE(real, publisher.elapsed_ms / 61 + 2) << "in " << publisher.elapsed_ms << " ms";
}

// A reader slower than its publisher: every frame is delivered or counted
// as dropped, by GetNumDropped and in the channel's reader slot alike.
TEST_F(SharedCameraSource, FramesDroppedAreTheReadersSkippedFrames) {
    Chain chain;
    ASSERT_EQ(chain.connect(VideoType(MEDIASUBTYPE_RGB24, 320, 240, VLXSHARE_FASTEST_FRAME_INTERVAL).get(), 50), S_OK);
    chain.run();
    Publisher publisher(320, 240, 5, 100);
    publisher.finish();
    chain.pause();
    ChannelInfo channel;
    ASSERT_TRUE(read_channel_info(kChannel, channel));
    const std::vector<int64_t> numbers = chain.seen.real();
    ASSERT_GE(numbers.size(), 2u);
    ComPtr<IAMDroppedFrames> dropped;
    ASSERT_EQ(chain.out->QueryInterface(IID_IAMDroppedFrames, dropped.put_void()), S_OK);
    LONG count = -1, delivered = -1;
    ASSERT_EQ(dropped->GetNumDropped(&count), S_OK);
    ASSERT_EQ(dropped->GetNumNotDropped(&delivered), S_OK);
    EXPECT_GT(count, 0);
    EXPECT_EQ(static_cast<int64_t>(numbers.size()) + count, numbers.back() - numbers.front() + 1);
    EXPECT_EQ(count, channel.slowest_skipped);
}

// Counted with GetHandleInformation (Wine's GetProcessHandleCount answers 0).
long handle_count() {
    long count = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

TEST_F(SharedCameraSource, FiltersThatStreamedLeaveNoHandleBehind) {
    auto stream_once = [] {
        Chain chain;
        chain.connect(VideoType(MEDIASUBTYPE_RGB24, 320, 240, 333333).get());
        chain.pause();
    };
    stream_once();
    const long before = handle_count();
    for (int i = 0; i < 20; ++i) stream_once();
    EXPECT_LT(handle_count() - before, 10);
}

}  // namespace
