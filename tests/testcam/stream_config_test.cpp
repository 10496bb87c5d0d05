// IAMStreamConfig of the camera: capabilities, round trips and refusals.
#include "camera_fixture.h"
#include "comkit/filter_base.h"
#include "common/media_type.h"
#include "vidlox_testcam.h"

#include <dvdmedia.h>

#include <iterator>

namespace vlx_test {
namespace {

class StreamConfig : public CameraTest {
protected:
    void SetUp() override {
        CameraTest::SetUp();
        use_device(VLXCAM_NAME_MAIN);
    }
    void TearDown() override {
        config.reset();
        camera.reset();
        CameraTest::TearDown();
    }

    // `camera` becomes the device `name` and `config` the IAMStreamConfig of
    // its capture pin; the previous ones go first.
    void use_device(const wchar_t* name) {
        config.reset();
        camera = bind_device(name);
        ComPtr<IPin> pin;
        if (camera && camera->FindPin(L"Capture", pin.put()) == S_OK) pin.query(config);
        ASSERT_TRUE(config);
    }

    // GetStreamCaps of capability `index`, its block in `caps` when given.
    static HRESULT stream_caps(IAMStreamConfig* config, int index, vlx::MediaTypePtr& type,
                               VIDEO_STREAM_CONFIG_CAPS* caps = nullptr) {
        VIDEO_STREAM_CONFIG_CAPS unread{};
        return config->GetStreamCaps(index, type.put(), reinterpret_cast<BYTE*>(caps ? caps : &unread));
    }

    ComPtr<IBaseFilter> camera;
    ComPtr<IAMStreamConfig> config;
};

struct Expected {
    LONG width, height;
    REFERENCE_TIME interval;  // the media type's
    bool video_info;
    REFERENCE_TIME fastest = 0, slowest = 10000000;  // 0: the media type's interval
};

TEST_F(StreamConfig, CapabilitiesInOrder) {
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(size, 128);
    // The first five as they always were; 4K and the 60 fps modes after them,
    // which state 30 fps in their media type.
    const Expected expected[] = {{640, 480, 333333, true},
                                 {1280, 720, 333333, true},
                                 {320, 240, 666666, true},
                                 {800, 600, 333333, false},
                                 {1920, 1080, 333333, true},
                                 {3840, 2160, 333333, true},
                                 {1280, 720, 333333, true, 166666, 333333},
                                 {1920, 1080, 333333, true, 166666, 333333}};
    ASSERT_EQ(count, static_cast<int>(std::size(expected)));
    for (int i = 0; i < count; ++i) {
        vlx::MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(stream_caps(config.get(), i, type, &caps), S_OK) << i;
        EXPECT_TRUE(IsEqualGUID(type->subtype, MEDIASUBTYPE_RGB24));
        EXPECT_EQ(caps.MinFrameInterval, expected[i].fastest ? expected[i].fastest : expected[i].interval) << i;
        EXPECT_EQ(caps.MaxFrameInterval, expected[i].slowest) << i;
        EXPECT_EQ(caps.InputSize.cx, expected[i].width);
        if (expected[i].video_info) {
            ASSERT_TRUE(IsEqualGUID(type->formattype, FORMAT_VideoInfo)) << i;
            ASSERT_GE(type->cbFormat, sizeof(VIDEOINFOHEADER));
            const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
            EXPECT_EQ(vih->bmiHeader.biWidth, expected[i].width);
            EXPECT_EQ(vih->bmiHeader.biHeight, expected[i].height);
            EXPECT_EQ(vih->AvgTimePerFrame, expected[i].interval);
            EXPECT_EQ(type->lSampleSize, static_cast<ULONG>(expected[i].width * 3 * expected[i].height));
        } else {
            EXPECT_TRUE(IsEqualGUID(type->formattype, FORMAT_VideoInfo2)) << i;
            EXPECT_EQ(type->cbFormat, sizeof(VIDEOINFOHEADER2));
        }
    }
    vlx::MediaTypePtr past;
    EXPECT_EQ(stream_caps(config.get(), count, past), S_FALSE);
}

TEST_F(StreamConfig, SetFormatRoundTrips) {
    vlx::MediaTypePtr type;
    ASSERT_EQ(stream_caps(config.get(), 1, type), S_OK);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    vih->AvgTimePerFrame = 400000;  // 25 fps, inside 1280x720's range
    vih->bmiHeader.biSizeImage = 12345;  // normalised by the camera
    ASSERT_EQ(config->SetFormat(type.get()), S_OK);

    vlx::MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.put()), S_OK);
    const auto* now = reinterpret_cast<const VIDEOINFOHEADER*>(current->pbFormat);
    EXPECT_EQ(now->bmiHeader.biWidth, 1280);
    EXPECT_EQ(now->bmiHeader.biHeight, 720);
    EXPECT_EQ(now->AvgTimePerFrame, 400000);
    EXPECT_EQ(now->bmiHeader.biSizeImage, 1280u * 3 * 720);
    EXPECT_EQ(current->lSampleSize, 1280u * 3 * 720);

    // The pin now offers that one format only.
    ComPtr<IPin> pin;
    ASSERT_EQ(camera->FindPin(L"Capture", pin.put()), S_OK);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.put()), S_OK);
    AM_MEDIA_TYPE* offered[8] = {};
    ULONG fetched = 0;
    types->Next(8, offered, &fetched);
    EXPECT_EQ(fetched, 1u);
    for (ULONG i = 0; i < fetched; ++i) vlx::delete_media_type(offered[i]);
}

TEST_F(StreamConfig, RefusedFormats) {
    vlx::MediaTypePtr type;
    ASSERT_EQ(stream_caps(config.get(), 0, type), S_OK);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);

    vih->bmiHeader.biWidth = 1000;  // no capability has this size
    EXPECT_TRUE(FAILED(config->SetFormat(type.get())));
    vih->bmiHeader.biWidth = 640;
    vih->AvgTimePerFrame = 166666;  // 60 fps: faster than the range
    EXPECT_TRUE(FAILED(config->SetFormat(type.get())));
    vih->bmiHeader.biWidth = 3840;
    vih->bmiHeader.biHeight = 2160;  // 4K exists only up to 30 fps
    EXPECT_TRUE(FAILED(config->SetFormat(type.get())));
    vih->bmiHeader.biWidth = 1920;
    vih->bmiHeader.biHeight = 1080;
    vih->AvgTimePerFrame = 166665;  // faster than 1080p's 60 fps
    EXPECT_TRUE(FAILED(config->SetFormat(type.get())));
    vih->AvgTimePerFrame = 20000000;  // 0.5 fps: slower than the range
    EXPECT_TRUE(FAILED(config->SetFormat(type.get())));
    vih->AvgTimePerFrame = 333333;
    vih->bmiHeader.biWidth = 320;
    vih->bmiHeader.biHeight = 240;  // 320x240 exists only up to 15 fps
    EXPECT_TRUE(FAILED(config->SetFormat(type.get())));
    vih->bmiHeader.biWidth = 640;
    vih->bmiHeader.biHeight = 480;
    type->subtype = MEDIASUBTYPE_RGB32;
    EXPECT_TRUE(FAILED(config->SetFormat(type.get())));

    vlx::MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.put()), S_OK);
    EXPECT_EQ(reinterpret_cast<const VIDEOINFOHEADER*>(current->pbFormat)->bmiHeader.biWidth, 640)
        << "refusals leave the default format";
}

// A downstream filter that takes RGB24 at one width only, like one that
// cannot follow a format change.
class OneWidthSink final : public vlxcom::Filter {
public:
    explicit OneWidthSink(LONG width) : Filter(GUID_NULL), pin_(*this, width) {}
    IPin* pin() { return &pin_; }

protected:
    std::vector<IPin*> pins() override { return {&pin_}; }

private:
    class Pin final : public vlxcom::InputPin {
    public:
        Pin(Filter& filter, LONG width) : InputPin(filter, L"In"), width_(width) {}

    protected:
        bool accepts(const AM_MEDIA_TYPE& type) const override {
            const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
            return IsEqualGUID(type.formattype, FORMAT_VideoInfo) && vih && type.cbFormat >= sizeof *vih &&
                   vih->bmiHeader.biWidth == width_;
        }
        HRESULT receive(IMediaSample*) override { return S_OK; }

    private:
        LONG width_;
    };
    Pin pin_;
};

LONG width_of(const AM_MEDIA_TYPE& type) {
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader.biWidth;
}

// The preview pin of the two-pin device follows the capture pin: a format
// the preview's downstream refuses changes neither pin.
TEST_F(StreamConfig, TwoPinFormatChangeIsAllOrNothing) {
    use_device(VLXCAM_NAME_PREVIEW_PIN);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void()),
              S_OK);
    const auto sink = ComPtr<OneWidthSink>::adopt(new OneWidthSink(640));
    ComPtr<IPin> preview;
    ASSERT_EQ(camera->FindPin(L"Preview", preview.put()), S_OK);
    ASSERT_EQ(graph->AddFilter(camera.get(), L"camera"), S_OK);
    ASSERT_EQ(graph->AddFilter(sink.get(), L"sink"), S_OK);
    ASSERT_EQ(graph->ConnectDirect(preview.get(), sink->pin(), nullptr), S_OK);

    vlx::MediaTypePtr hd;
    ASSERT_EQ(stream_caps(config.get(), 1, hd), S_OK);  // 1280x720
    EXPECT_EQ(config->SetFormat(hd.get()), VFW_E_INVALIDMEDIATYPE);
    vlx::MediaTypePtr capture;
    ASSERT_EQ(config->GetFormat(capture.put()), S_OK);
    EXPECT_EQ(width_of(*capture.get()), 640) << "the capture pin kept its format";
    AM_MEDIA_TYPE shown{};
    ASSERT_EQ(preview->ConnectionMediaType(&shown), S_OK);
    EXPECT_EQ(width_of(shown), 640);
    vlx::free_media_type(shown);

    preview.reset();
    graph->RemoveFilter(sink.get());
    graph->RemoveFilter(camera.get());
}

TEST_F(StreamConfig, EdgeDevices) {
    {
        ASSERT_NO_FATAL_FAILURE(use_device(VLXCAM_NAME_REFUSES));
        vlx::MediaTypePtr type;
        ASSERT_EQ(stream_caps(config.get(), 0, type), S_OK);
        EXPECT_TRUE(FAILED(config->SetFormat(type.get()))) << "even its own default";
    }
    {
        ASSERT_NO_FATAL_FAILURE(use_device(VLXCAM_NAME_CAPS_BLOCK));
        int count = 0, size = 0;
        ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
        EXPECT_EQ(size, 64);
    }
    {
        ComPtr<IBaseFilter> pinless = bind_device(VLXCAM_NAME_NO_PINS);
        ASSERT_TRUE(pinless);
        ComPtr<IEnumPins> pins;
        ASSERT_EQ(pinless->EnumPins(pins.put()), S_OK);
        ComPtr<IPin> pin;
        EXPECT_EQ(pins->Next(1, pin.put(), nullptr), S_FALSE);
    }
}

// The NV12 and MJPG devices list the one-format set, then 4K at 30 fps and
// 720p and 1080p from 60 down to 30 fps; a 60 fps request at 720p or 1080p
// is taken, whichever of that size's capabilities it is written into.
TEST_F(StreamConfig, FastModesOfTheNv12AndMjpgDevices) {
    const struct {
        const wchar_t* name;
        DWORD fourcc;
    } devices[] = {{VLXCAM_NAME_NV12, MAKEFOURCC('N', 'V', '1', '2')}, {VLXCAM_NAME_MJPG, MAKEFOURCC('M', 'J', 'P', 'G')}};
    const Expected expected[] = {{640, 480, 333333, true},   {1280, 720, 333333, true},
                                 {1920, 1080, 333333, true}, {3840, 2160, 333333, true},
                                 {1280, 720, 333333, true, 166666, 333333},
                                 {1920, 1080, 333333, true, 166666, 333333}};
    for (const auto& device : devices) {
        ASSERT_NO_FATAL_FAILURE(use_device(device.name));
        int count = 0, size = 0;
        ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
        ASSERT_EQ(count, static_cast<int>(std::size(expected)));
        for (int i = 0; i < count; ++i) {
            vlx::MediaTypePtr type;
            VIDEO_STREAM_CONFIG_CAPS caps{};
            ASSERT_EQ(stream_caps(config.get(), i, type, &caps), S_OK) << i;
            const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
            EXPECT_EQ(type->subtype.Data1, device.fourcc) << i;
            EXPECT_EQ(vih->bmiHeader.biWidth, expected[i].width) << i;
            EXPECT_EQ(vih->bmiHeader.biHeight, expected[i].height) << i;
            EXPECT_EQ(vih->AvgTimePerFrame, expected[i].interval) << i;
            EXPECT_EQ(caps.MinFrameInterval, expected[i].fastest ? expected[i].fastest : expected[i].interval) << i;
            EXPECT_EQ(caps.MaxFrameInterval, expected[i].slowest) << i;
        }
        const struct {
            int capability;
            REFERENCE_TIME interval;
            bool accepted;
        } cases[] = {
            {1, 166666, true},   // 720p's first capability, at 60 fps: the 60 fps one takes it
            {5, 166666, true},   // 1080p at 60 fps
            {3, 333333, true},   // 4K at 30 fps
            {3, 166666, false},  // ... not at 60
            {0, 166666, false},  // 640x480 stops at 30 fps
            {4, 333333, true},   // the 60 fps mode's own media type: 720p at 30 fps
        };
        for (const auto& c : cases) {
            vlx::MediaTypePtr type;
            ASSERT_EQ(stream_caps(config.get(), c.capability, type), S_OK);
            reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame = c.interval;
            EXPECT_EQ(SUCCEEDED(config->SetFormat(type.get())), c.accepted) << c.capability << " " << c.interval;
        }
    }
}

// The webcam devices describe their formats as UVC cameras do: a FourCC
// subtype that matches biCompression, and for MJPG samples of varying size.
TEST_F(StreamConfig, WebcamFormatsAndTheirRanges) {
    ASSERT_NO_FATAL_FAILURE(use_device(VLXCAM_NAME_WEBCAM));
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    ASSERT_EQ(count, 10);

    const DWORD yuy2 = MAKEFOURCC('Y', 'U', 'Y', '2'), mjpg = MAKEFOURCC('M', 'J', 'P', 'G');
    for (int i = 0; i < count; ++i) {
        vlx::MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(stream_caps(config.get(), i, type, &caps), S_OK);
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
        const DWORD fourcc = i < 5 ? yuy2 : mjpg;
        EXPECT_EQ(type->subtype.Data1, fourcc) << i;
        EXPECT_EQ(vih->bmiHeader.biCompression, fourcc) << i;
        EXPECT_EQ(vih->bmiHeader.biBitCount, i < 5 ? 16 : 24) << i;
        EXPECT_EQ(type->bFixedSizeSamples, i < 5 ? TRUE : FALSE) << i;
        EXPECT_EQ(caps.MaxFrameInterval, 2000000) << "5 fps, as UVC cameras list";
    }

    // Any listed format, size and rate; nothing beyond a capability's range.
    const struct {
        int capability;
        REFERENCE_TIME interval;
        bool accepted;
    } cases[] = {
        {4, 2000000, true},    // YUY2 1920x1080 at 5 fps
        {4, 333333, false},    // ... not at 30
        {9, 333333, true},     // MJPG 1920x1080 at 30 fps
        {9, 10000000, false},  // ... not at 1
        {3, 666666, false},    // YUY2 1280x720 stops at 10 fps
    };
    for (const auto& c : cases) {
        vlx::MediaTypePtr type;
        ASSERT_EQ(stream_caps(config.get(), c.capability, type), S_OK);
        reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame = c.interval;
        EXPECT_EQ(SUCCEEDED(config->SetFormat(type.get())), c.accepted) << c.capability << " " << c.interval;
    }
}

}  // namespace
}  // namespace vlx_test
