// Handles each library call leaves behind, against a hand-built program
// doing the same platform work in the same process: what grows in both is
// the platform's (Wine's device enumerator keeps registry keys, every filter
// graph an event; docs/wine-platform.md), what grows only through the
// library is the library's.
#include "dll/capture_fixture.h"
#include "dll/sound_exports.h"
#include "common/variant.h"
#include "support/handle_census.h"

#include <functional>
#include <vector>

namespace vlx_test {
namespace {

// The friendly names of a device category, read as every list reads them.
size_t category_names(const CLSID& category) {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.put_void())) ||
        devices->CreateClassEnumerator(category, monikers.put(), 0) != S_OK)
        return 0;
    size_t count = 0;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        vlx::ScopedVariant name;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void())))
            bag->Read(L"FriendlyName", name.get(), nullptr);
        ++count;
    }
    return count;
}

// Camera, grabber and a windowed VMR9 with one stream, connected and released.
void vmr9_graph_by_hand() {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> grabber, vmr;
    ComPtr<ISampleGrabber> settings;
    ComPtr<IVMRFilterConfig9> config;
    const ComPtr<IBaseFilter> camera = bind_device(VLXCAM_NAME_MAIN);
    AM_MEDIA_TYPE rgb24{};
    rgb24.majortype = MEDIATYPE_Video;
    rgb24.subtype = MEDIASUBTYPE_RGB24;
    rgb24.formattype = FORMAT_VideoInfo;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void())) ||
        FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                builder.put_void())) ||
        FAILED(CoCreateInstance(vlx::kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                grabber.put_void())) ||
        FAILED(CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                vmr.put_void())) ||
        FAILED(grabber.query(settings)) || FAILED(vmr.query(config)) || !camera)
        return;
    builder->SetFiltergraph(graph.get());
    settings->SetMediaType(&rgb24);
    config->SetRenderingMode(VMR9Mode_Windowed);
    config->SetNumberOfStreams(1);
    graph->AddFilter(camera.get(), L"Device Filter");
    graph->AddFilter(grabber.get(), L"Sample Grabber");
    graph->AddFilter(vmr.get(), L"VMR9");
    builder->RenderStream(&PIN_CATEGORY_PREVIEW, nullptr, camera.get(), grabber.get(), vmr.get());
}

// The growth of `work` over `rounds` calls, after one call to warm up.
HandleCensus growth(const std::function<void()>& work, int rounds = 3) {
    work();
    const HandleCensus before = handle_census();
    for (int i = 0; i < rounds; ++i) work();
    HandleCensus after = handle_census();
    for (auto& [type, count] : after) count -= before.count(type) ? before.at(type) : 0;
    for (const auto& [type, count] : before)
        if (!after.count(type)) after[type] = -count;
    return after;
}

struct Row {
    const char* what;
    std::function<void(const Vidlox&, int32_t camera)> library;
    std::function<void(int32_t camera)> by_hand;
};

TEST_F(Capture, HandlesLeftByEachCallAgainstTheSameWorkByHand) {
    std::vector<char> text(65536);
    const Row rows[] = {
        {"device list and size",
         [&](const Vidlox& v, int32_t) { text[0] = '\0'; v.GetDeviceListSize(0); v.GetDeviceList(text.data(), 0); },
         [](int32_t) { category_names(CLSID_VideoInputDeviceCategory); category_names(CLSID_VideoInputDeviceCategory); }},
        {"open and close, Null Renderer",
         [&](const Vidlox& v, int32_t camera) { v.Open(camera, 6, 0, 0, 0); v.Close(); },
         [](int32_t) {
             category_names(CLSID_VideoInputDeviceCategory);
             FrameRecorder recorder;
             CameraGraph graph;
             graph.build(bind_device(VLXCAM_NAME_MAIN), recorder);
         }},
        {"audio format list and size",
         [&](const Vidlox&, int32_t) {
             const int32_t microphone = audio_device_index(VLXCAM_NAME_MICROPHONE);
             sound().GetAudioFormatListSize(microphone);
             sound().GetAudioFormatList(text.data(), microphone);
         },
         [](int32_t) {
             category_names(CLSID_AudioInputDeviceCategory);  // the index, then the device for each call
             category_names(CLSID_AudioInputDeviceCategory);
             bind_device(VLXCAM_NAME_MICROPHONE, CLSID_AudioInputDeviceCategory);
             bind_device(VLXCAM_NAME_MICROPHONE, CLSID_AudioInputDeviceCategory);
         }},
        {"open and close with the microphone, Null Renderer",
         [&](const Vidlox& v, int32_t camera) {
             sound().SetAudioDevicePath(vlx_test::utf8(VLXCAM_PATH_MICROPHONE).c_str());
             v.Open(camera, 6, 0, 0, 0);
             v.Close();
             sound().SetAudioDevice(-1);
         },
         [](int32_t) {
             category_names(CLSID_VideoInputDeviceCategory);
             FrameRecorder recorder;
             CameraGraph graph;
             graph.build(bind_device(VLXCAM_NAME_MAIN), recorder);
             bind_device(VLXCAM_NAME_MICROPHONE, CLSID_AudioInputDeviceCategory);
         }},
        {"open and close, VMR9",
         [&](const Vidlox& v, int32_t camera) { v.Open(camera, 2, 0, 1, 1); v.Close(); },
         [](int32_t) {
             category_names(CLSID_VideoInputDeviceCategory);
             vmr9_graph_by_hand();
         }},
    };
    for (const Row& row : rows) {
        const HandleCensus library = growth([&] { row.library(v, camera); });
        const HandleCensus by_hand = growth([&] { row.by_hand(camera); });
        for (const auto& [type, count] : library) {
            EXPECT_LE(count, by_hand.count(type) ? by_hand.at(type) : 0)
                << row.what << ": the library leaves more " << type << " handles than the same work by hand ("
                << census_change({}, library) << " against " << census_change({}, by_hand) << ")";
        }
    }
}

}  // namespace
}  // namespace vlx_test
