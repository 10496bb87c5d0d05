#include "support/camera_graph.h"

#include "common/media_type.h"
#include "common/variant.h"
#include "support/frame_check.h"
#include "vidlox_testcam.h"

namespace vlx_test {

ComPtr<IBaseFilter> bind_device(const wchar_t* friendly_name, const GUID& category) {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.put_void())) ||
        devices->CreateClassEnumerator(category, monikers.put(), 0) != S_OK) {
        return {};
    }
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        vlx::ScopedVariant name;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void())) ||
            FAILED(bag->Read(L"FriendlyName", name.get(), nullptr)) || !name.bstr() ||
            wcscmp(name.bstr(), friendly_name) != 0) {
            continue;
        }
        ComPtr<IBaseFilter> filter;
        moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.put_void());
        return filter;
    }
    return {};
}

std::vector<std::wstring> video_device_names() {
    std::vector<std::wstring> names;
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.put_void())) ||
        devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK) {
        return names;
    }
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        vlx::ScopedVariant name;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void())) &&
            SUCCEEDED(bag->Read(L"FriendlyName", name.get(), nullptr)) && name.bstr()) {
            names.emplace_back(name.bstr());
        }
    }
    return names;
}

int32_t camera_live_objects() {
    static const auto count = [] {
        HMODULE module = LoadLibraryW(L"vidlox-testcam64.dll");
        return reinterpret_cast<int32_t(__cdecl*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "vlxcam_LiveObjects")));
    }();
    return count ? count() : -1;
}

FrameRecorder::FrameRecorder() : arrived_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
FrameRecorder::~FrameRecorder() { CloseHandle(arrived_); }

STDMETHODIMP FrameRecorder::QueryInterface(REFIID iid, void** object) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
        *object = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

void FrameRecorder::set_format(int32_t width, int32_t height, long expected_length) {
    std::lock_guard guard(lock_);
    width_ = width;
    height_ = height;
    expected_length_ = expected_length;
}

STDMETHODIMP FrameRecorder::BufferCB(double time, BYTE* buffer, long length) {
    {
        std::lock_guard guard(lock_);
        if (problem_.empty()) {
            if (length != expected_length_) {
                problem_ = "frame of " + std::to_string(length) + " bytes, expected " +
                           std::to_string(expected_length_);
            } else {
                problem_ = corner_problem(buffer, width_, height_, tolerance_);
            }
        }
        if (length == expected_length_) {
            numbers_.push_back(frame_number(buffer, width_, height_));
            const int32_t rows = height_ < 0 ? -height_ : height_;
            const Rgb band = pixel_at(buffer, width_, height_, width_ / 2, VLXCAM_FLASH_TOP_SIXTEENTHS * rows / 16);
            flashes_.push_back(band.r == 255 && band.g == 255 && band.b == 255);
        }
        times_.push_back(time);
    }
    SetEvent(arrived_);
    return S_OK;
}

bool FrameRecorder::wait_for_frames(size_t count, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (frame_count() < count) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        WaitForSingleObject(arrived_, static_cast<DWORD>(deadline - now));
    }
    return true;
}

size_t FrameRecorder::frame_count() {
    std::lock_guard guard(lock_);
    return times_.size();
}

std::vector<uint32_t> FrameRecorder::frame_numbers() {
    std::lock_guard guard(lock_);
    return numbers_;
}

std::vector<double> FrameRecorder::times() {
    std::lock_guard guard(lock_);
    return times_;
}

std::vector<bool> FrameRecorder::flashes() {
    std::lock_guard guard(lock_);
    return flashes_;
}

std::string FrameRecorder::first_problem() {
    std::lock_guard guard(lock_);
    return problem_;
}

void FrameRecorder::set_tolerance(int tolerance) {
    std::lock_guard guard(lock_);
    tolerance_ = tolerance;
}

HRESULT choose_full_hd(IAMStreamConfig* config) {
    vlx::MediaTypePtr type;
    VIDEO_STREAM_CONFIG_CAPS caps;
    if (config->GetStreamCaps(4, type.put(), reinterpret_cast<BYTE*>(&caps)) != S_OK) return E_FAIL;
    return config->SetFormat(type.get());
}

HRESULT CameraGraph::build(ComPtr<IBaseFilter> device, FrameRecorder& recorder,
                           HRESULT (*configure)(IAMStreamConfig*), const GUID& grabber_subtype) {
    camera = std::move(device);
    if (!camera) return E_POINTER;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  graph.put_void());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                              builder.put_void());
    if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph.get());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(vlx::kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              grabber_filter.put_void());
    if (SUCCEEDED(hr)) hr = grabber_filter.query(grabber);
    if (SUCCEEDED(hr)) {
        AM_MEDIA_TYPE wanted{};
        wanted.majortype = MEDIATYPE_Video;
        wanted.subtype = grabber_subtype;
        wanted.formattype = FORMAT_VideoInfo;
        hr = grabber->SetMediaType(&wanted);
    }
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(vlx::kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              renderer.put_void());
    if (SUCCEEDED(hr)) hr = graph->AddFilter(camera.get(), L"Camera");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(grabber_filter.get(), L"Sample Grabber");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(renderer.get(), L"Null Renderer");
    if (SUCCEEDED(hr) && configure) {
        ComPtr<IAMStreamConfig> config;
        hr = builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, camera.get(), IID_IAMStreamConfig,
                                    config.put_void());
        if (SUCCEEDED(hr)) hr = configure(config.get());
    }
    if (SUCCEEDED(hr))
        hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.get(), grabber_filter.get(),
                                   renderer.get());
    if (SUCCEEDED(hr)) hr = grabber->SetBufferSamples(TRUE);
    if (SUCCEEDED(hr)) hr = grabber->SetCallback(&recorder, 1);
    if (SUCCEEDED(hr)) hr = graph.query(control);
    if (SUCCEEDED(hr)) {
        int32_t width = 0, height = 0;
        long size = 0;
        connected_size(&width, &height, &size);
        recorder.set_format(width, height, size);
    }
    return hr;
}

void CameraGraph::connected_size(int32_t* width, int32_t* height, long* sample_size) {
    vlx::MediaType type;
    *width = *height = 0;
    *sample_size = 0;
    if (FAILED(grabber->GetConnectedMediaType(type.get())) || !type->pbFormat) return;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    *width = vih->bmiHeader.biWidth;
    *height = vih->bmiHeader.biHeight;
    *sample_size = static_cast<long>(type->lSampleSize);
}

}  // namespace vlx_test
