// The camera in a plain DirectShow graph built by the test: frames, formats,
// live-source states.
#include "camera_fixture.h"
#include "common/media_type.h"
#include "support/frame_check.h"
#include "vidlox_testcam.h"

#include <ks.h>
#include <ksmedia.h>

namespace vlx_test {
namespace {

class Streaming : public CameraTest {};

void expect_increasing(const std::vector<uint32_t>& numbers) {
    ASSERT_GE(numbers.size(), 2u);
    for (size_t i = 1; i < numbers.size(); ++i) {
        ASSERT_GT(numbers[i], numbers[i - 1]) << "frame " << i;
    }
}

TEST_F(Streaming, DefaultFormatDeliversFramesForASecond) {
    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
        int32_t width = 0, height = 0;
        long size = 0;
        g.connected_size(&width, &height, &size);
        EXPECT_EQ(width, 640);
        EXPECT_EQ(height, 480);
        EXPECT_EQ(size, 921600);

        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        Sleep(1000);
        g.control->Stop();
    }
    EXPECT_EQ(recorder.first_problem(), "");
    const auto numbers = recorder.frame_numbers();
    EXPECT_GE(numbers.size(), 15u) << "about 30 frames in a second";
    EXPECT_LE(numbers.size(), 40u);
    expect_increasing(numbers);
    EXPECT_EQ(numbers.front(), 0u) << "numbering starts with the stream";
}

TEST_F(Streaming, FullHdAfterSetFormat) {
    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder, &choose_full_hd), S_OK);
        int32_t width = 0, height = 0;
        long size = 0;
        g.connected_size(&width, &height, &size);
        EXPECT_EQ(width, 1920);
        EXPECT_EQ(height, 1080);
        EXPECT_EQ(size, 1920 * 3 * 1080);
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        EXPECT_TRUE(recorder.wait_for_frames(10, 5000));
        g.control->Stop();
    }
    EXPECT_EQ(recorder.first_problem(), "");
    expect_increasing(recorder.frame_numbers());
}

TEST_F(Streaming, PausedLiveSourceCannotCueAndDeliversNothing) {
    FrameRecorder recorder;
    CameraGraph g;
    ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.control->Pause()));
    FILTER_STATE state;
    EXPECT_EQ(g.camera->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    Sleep(200);
    EXPECT_EQ(recorder.frame_count(), 0u) << "frames flow only while running";

    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    EXPECT_TRUE(recorder.wait_for_frames(3, 5000));
    EXPECT_EQ(g.camera->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    g.control->Stop();
    const size_t after_stop = recorder.frame_count();
    Sleep(150);
    EXPECT_EQ(recorder.frame_count(), after_stop);
    EXPECT_EQ(g.camera->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
}

TEST_F(Streaming, SamplesCarryStreamTimes) {
    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        EXPECT_TRUE(recorder.wait_for_frames(10, 5000));
        g.control->Stop();
    }
    const auto times = recorder.times();
    ASSERT_GE(times.size(), 10u);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i], times[i - 1]);
    const double span = times[9] - times[0];
    EXPECT_GT(span, 0.15) << "nine intervals of 1/30 s on the graph clock";
    EXPECT_LT(span, 1.5);
}

TEST_F(Streaming, MiscFlagsAndPinCategory) {
    ComPtr<IBaseFilter> camera = bind_device(VLXCAM_NAME_MAIN);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera_live_objects(), 1) << "the count sees the filter COM created";
    ComPtr<IAMFilterMiscFlags> flags;
    ASSERT_EQ(camera.query(flags), S_OK);
    EXPECT_EQ(flags->GetMiscFlags(), static_cast<ULONG>(AM_FILTER_MISC_FLAGS_IS_SOURCE));

    ComPtr<IPin> pin;
    ASSERT_EQ(camera->FindPin(L"Capture", pin.put()), S_OK);
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(pin.query(properties), S_OK);
    DWORD returned = 0;
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, &returned), S_OK);
    EXPECT_EQ(returned, sizeof(GUID)) << "a null buffer is a size query";
    GUID category{};
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 4, &returned),
              E_UNEXPECTED);
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                              &returned),
              S_OK);
    EXPECT_TRUE(IsEqualGUID(category, PIN_CATEGORY_CAPTURE));
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, 7, nullptr, 0, &category, sizeof category, &returned),
              E_PROP_ID_UNSUPPORTED);
}

TEST_F(Streaming, CaptureAndPreviewPinsBothStream) {
    ComPtr<IBaseFilter> camera = bind_device(VLXCAM_NAME_PREVIEW_PIN);
    ASSERT_TRUE(camera);
    ComPtr<IPin> preview;
    ASSERT_EQ(camera->FindPin(L"Preview", preview.put()), S_OK);
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(preview.query(properties), S_OK);
    GUID category{};
    DWORD returned = 0;
    ASSERT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                              &returned),
              S_OK);
    EXPECT_TRUE(IsEqualGUID(category, PIN_CATEGORY_PREVIEW));
    preview.reset();

    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(std::move(camera), recorder), S_OK);
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        EXPECT_TRUE(recorder.wait_for_frames(5, 5000));
        g.control->Stop();
    }
    EXPECT_EQ(recorder.first_problem(), "");
}

TEST_F(Streaming, SlowStartDeviceWaitsBeforeTheFirstFrame) {
    FrameRecorder recorder;
    CameraGraph g;
    ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_SLOW_START), recorder), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    Sleep(VLXCAM_SLOW_START_MS / 2);
    EXPECT_EQ(recorder.frame_count(), 0u) << "no frame during the first second";
    EXPECT_TRUE(recorder.wait_for_frames(1, 5000));
    g.control->Stop();
    EXPECT_EQ(recorder.frame_numbers().front(), 0u);
}

// Capability `N` of the pin at its fastest rate, for CameraGraph::build.
template <int N>
HRESULT choose_fastest(IAMStreamConfig* config) {
    vlx::MediaTypePtr type;
    VIDEO_STREAM_CONFIG_CAPS caps;
    if (config->GetStreamCaps(N, type.put(), reinterpret_cast<BYTE*>(&caps)) != S_OK) return E_FAIL;
    reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame = caps.MinFrameInterval;
    return config->SetFormat(type.get());
}

struct FastMode {
    const char* label;
    const wchar_t* device;
    HRESULT (*choose)(IAMStreamConfig*);
    int32_t width, height;
    REFERENCE_TIME interval;
    int tolerance;  // per channel, after YUV or JPEG and the test codec
};

// The 4K and 60 fps modes deliver frames of their size at their rate. With
// no graph clock the camera stamps frame n at n intervals of the connected
// rate, so the painted frame numbers against the stamps tell the rate
// without timing anything: frame numbers count the mode's intervals.
TEST_F(Streaming, FastAndLargeModesDeliverTheirSizeAtTheirRate) {
    const FastMode modes[] = {
        {"RGB24 3840x2160@30", VLXCAM_NAME_MAIN, &choose_fastest<5>, 3840, 2160, 333333, 0},
        {"RGB24 1280x720@60", VLXCAM_NAME_MAIN, &choose_fastest<6>, 1280, 720, 166666, 0},
        {"RGB24 1920x1080@60", VLXCAM_NAME_MAIN, &choose_fastest<7>, 1920, 1080, 166666, 0},
        {"NV12 3840x2160@30", VLXCAM_NAME_NV12, &choose_fastest<3>, 3840, 2160, 333333, 4},
        {"NV12 1280x720@60", VLXCAM_NAME_NV12, &choose_fastest<4>, 1280, 720, 166666, 4},
        {"NV12 1920x1080@60", VLXCAM_NAME_NV12, &choose_fastest<5>, 1920, 1080, 166666, 4},
        {"MJPG 3840x2160@30", VLXCAM_NAME_MJPG, &choose_fastest<3>, 3840, 2160, 333333, 24},
        {"MJPG 1280x720@60", VLXCAM_NAME_MJPG, &choose_fastest<4>, 1280, 720, 166666, 24},
        {"MJPG 1920x1080@60", VLXCAM_NAME_MJPG, &choose_fastest<5>, 1920, 1080, 166666, 24},
    };
    for (const FastMode& mode : modes) {
        SCOPED_TRACE(mode.label);
        FrameRecorder recorder;
        recorder.set_tolerance(mode.tolerance);
        REFERENCE_TIME connected_interval = 0;
        {
            CameraGraph g;
            ASSERT_EQ(g.build(bind_device(mode.device), recorder, mode.choose), S_OK);
            int32_t width = 0, height = 0;
            long size = 0;
            g.connected_size(&width, &height, &size);
            EXPECT_EQ(width, mode.width);
            EXPECT_EQ(height, mode.height);
            EXPECT_EQ(size, static_cast<long>(mode.width) * 3 * mode.height);

            ComPtr<IPin> pin;
            ASSERT_EQ(g.camera->FindPin(L"Capture", pin.put()), S_OK);
            vlx::MediaType connection;
            ASSERT_EQ(pin->ConnectionMediaType(connection.get()), S_OK);
            connected_interval = reinterpret_cast<const VIDEOINFOHEADER*>(connection->pbFormat)->AvgTimePerFrame;

            ComPtr<IMediaFilter> timing;
            ASSERT_EQ(g.graph.query(timing), S_OK);
            ASSERT_EQ(timing->SetSyncSource(nullptr), S_OK);
            ASSERT_TRUE(SUCCEEDED(g.control->Run()));
            EXPECT_TRUE(recorder.wait_for_frames(4, 30000));
            g.control->Stop();
        }
        EXPECT_EQ(connected_interval, mode.interval);
        EXPECT_EQ(recorder.first_problem(), "") << "every frame of the size, with the camera's corners";
        const auto numbers = recorder.frame_numbers();
        const auto times = recorder.times();
        ASSERT_GE(numbers.size(), 4u);
        ASSERT_EQ(numbers.size(), times.size());
        expect_increasing(numbers);
        for (size_t i = 0; i < numbers.size(); ++i) {
            EXPECT_NEAR(times[i], static_cast<double>(numbers[i]) * static_cast<double>(mode.interval) * 1e-7, 1e-6)
                << "frame " << numbers[i] << " stamped on the mode's schedule";
        }
    }
}

}  // namespace
}  // namespace vlx_test
