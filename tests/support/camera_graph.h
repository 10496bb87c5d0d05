// A plain DirectShow graph built by hand around a test camera: camera,
// Sample Grabber (RGB24) with a counting callback, Null Renderer, connected
// by the Capture Graph Builder.
#pragma once

#include "common/com_ptr.h"
#include "common/directshow.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vlx_test {

using vlx::ComPtr;

// The camera device with this friendly name, bound from its moniker.
ComPtr<IBaseFilter> bind_device(const wchar_t* friendly_name, const GUID& category = CLSID_VideoInputDeviceCategory);
// Friendly names in CLSID_VideoInputDeviceCategory, in enumeration order.
std::vector<std::wstring> video_device_names();

// Live objects of the test camera DLL (loaded here if it is not yet).
int32_t camera_live_objects();

// Collects what the grabber sees; BufferCB runs on the camera's thread.
class FrameRecorder final : public ISampleGrabberCB {
public:
    FrameRecorder();
    ~FrameRecorder();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    STDMETHODIMP BufferCB(double time, BYTE* buffer, long length) override;

    void set_format(int32_t width, int32_t height, long expected_length);
    // Per-channel tolerance of the corner check, for frames that went
    // through YUV or JPEG on their way (0: exact).
    void set_tolerance(int tolerance);
    // Waits until `count` frames arrived in all; false on timeout.
    bool wait_for_frames(size_t count, DWORD timeout_ms);
    size_t frame_count();
    std::vector<uint32_t> frame_numbers();
    std::vector<double> times();
    // Per frame: whether its flash band (vidlox_testcam.h) is white.
    std::vector<bool> flashes();
    std::string first_problem();  // corners, length

private:
    std::mutex lock_;
    HANDLE arrived_;
    int32_t width_ = 0, height_ = 0;
    long expected_length_ = 0;
    int tolerance_ = 0;
    std::vector<uint32_t> numbers_;
    std::vector<double> times_;
    std::vector<bool> flashes_;
    std::string problem_;
};

// Sets capability 4 (1920x1080 at 30 fps) on the pin, for CameraGraph::build.
HRESULT choose_full_hd(IAMStreamConfig* config);

struct CameraGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> camera;
    ComPtr<IBaseFilter> grabber_filter;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IBaseFilter> renderer;
    ComPtr<IMediaControl> control;

    // Builds and connects the graph; `configure` (may be null) runs on the
    // camera's IAMStreamConfig before the connection. A grabber subtype of
    // GUID_NULL takes the camera's own format, with no decoder between.
    HRESULT build(ComPtr<IBaseFilter> device, FrameRecorder& recorder,
                  HRESULT (*configure)(IAMStreamConfig*) = nullptr,
                  const GUID& grabber_subtype = MEDIASUBTYPE_RGB24);
    // Width and height of the grabber's connection.
    void connected_size(int32_t* width, int32_t* height, long* sample_size);
};

}  // namespace vlx_test
