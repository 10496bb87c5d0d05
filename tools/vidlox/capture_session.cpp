#include "capture_session.h"

#include "common/dib_size.h"

#include "lists.h"
#include "report.h"

#include <vidlox.h>
#include <vidlox_testcam.h>

#include <cstdio>
#include <cstdlib>

namespace tool {

namespace {

// vlx_GetImageMem's answer while the grabber holds no frame yet.
constexpr int32_t no_frame_yet = -7;
// vlx_FindDevice's answer when no device has the name or path.
constexpr int32_t no_such_device = -4;

bool is_index(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

CaptureSession::~CaptureSession() {
    if (running_) vlx_Stop();
    if (opened_) vlx_Close();
    if (started_) vlx_Exit();
    flush_log();
}

int CaptureSession::resolve(const std::string& device) {
    const NameList devices = device_list(0);
    if (devices.failed_function) return library_failure(devices.failed_function, devices.result);
    if (is_index(device)) {
        index = std::atoi(device.c_str());
    } else {
        // A path or a name as it stands first; then NAME#N, the N-th device
        // of that name (twins share one).
        index = vlx_FindDevice(device.c_str(), 0);
        const size_t hash = device.rfind('#');
        if (index == no_such_device && hash != std::string::npos && is_index(device.substr(hash + 1))) {
            index = vlx_FindDevice(device.substr(0, hash).c_str(), std::atoi(device.c_str() + hash + 1));
        }
        if (index == no_such_device) {
            return tool_failure("no video capture device has the name or path \"%s\" (vidlox devices --paths "
                                "lists them)",
                                device.c_str());
        }
        if (index < 0) return library_failure("vlx_FindDevice", index);
    }
    if (static_cast<size_t>(index) < devices.names.size()) name = devices.names[static_cast<size_t>(index)];
    return exit_ok;
}

int CaptureSession::healthy() {
    const int32_t state = vlx_GetDeviceState();
    switch (state) {
    case VLX_DEVICE_DELIVERING:
    case VLX_DEVICE_WAITING:
    case VLX_DEVICE_NOT_RUNNING:
        return exit_ok;
    case VLX_DEVICE_STALLED:
        return tool_failure("the camera stopped delivering frames (none for %d frame intervals, at least %d ms); "
                            "stopped",
                            VLX_STALL_FRAME_INTERVALS, VLX_STALL_MIN_MS);
    case VLX_DEVICE_LOST:
        return tool_failure("the camera was lost (unplugged or switched off); stopped");
    case VLX_DEVICE_AUDIO_LOST:
        // The picture goes on; said once.
        if (!audio_lost_told_) std::fputs("vidlox: the microphone was lost; the picture goes on\n", stderr);
        audio_lost_told_ = true;
        return exit_ok;
    case VLX_DEVICE_IN_USE:
        return tool_failure("the camera is in use by another program; close it there and try again");
    case VLX_DEVICE_ERROR:
        return tool_failure("the camera's stream stopped with error 0x%08lX; stopped",
                            static_cast<unsigned long>(vlx_GetLastError()));
    default:
        return library_failure("vlx_GetDeviceState", state);
    }
}

int CaptureSession::init() {
    if (started_) return exit_ok;
    const int32_t initialised = vlx_Init();
    started_ = initialised != -1;  // a failed CoInitialize still leaves the library initialised
    if (initialised < 0) return library_failure("vlx_Init", initialised);
    vlx_SetActiveSel(0);
    return exit_ok;
}

int CaptureSession::open(const std::string& device, int32_t render_mode, intptr_t param1, intptr_t param2) {
    if (int failed = init()) return failed;
    if (int failed = resolve(device)) return failed;
    const int32_t opened = vlx_Open(index, render_mode, 0, param1, param2);
    open_code = opened;
    if (opened < 0) return library_failure("vlx_Open", opened);
    opened_ = true;
    flush_log();
    return exit_ok;
}

int CaptureSession::run() {
    const int32_t played = vlx_Play2();
    if (played < 0) return library_failure("vlx_Play2", played);
    running_ = true;
    flush_log();
    return exit_ok;
}

int CaptureSession::grab(std::vector<uint8_t>& pixels, BITMAPINFO& header, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        const int32_t needed = vlx_GetImageMemSize(0);
        if (needed < 0) return library_failure("vlx_GetImageMemSize", needed);
        pixels.resize(static_cast<size_t>(needed));
        int32_t size = needed;
        const int32_t result = vlx_GetImageMem(pixels.data(), &size, &header);
        if (result == 0) {
            pixels.resize(static_cast<size_t>(size));
            return exit_ok;
        }
        if (result != no_frame_yet || GetTickCount64() >= deadline) return library_failure("vlx_GetImageMem", result);
        if (int failed = healthy()) return failed;
        Sleep(10);
    }
}

bool CaptureSession::frame_number(const std::vector<uint8_t>& pixels, const BITMAPINFO& header,
                                  uint32_t& number) const {
    // Every device of the test camera paints its frame number; its names all
    // begin with "vidlox ".
    if (name.rfind("vidlox ", 0) != 0) return false;
    const BITMAPINFOHEADER& bmi = header.bmiHeader;
    const int64_t stride = vlx::dib_row_bytes(bmi.biWidth, 24);
    if (bmi.biBitCount != 24 || bmi.biWidth < 64 || static_cast<int64_t>(pixels.size()) < stride * std::abs(bmi.biHeight))
        return false;
    number = vlxcam_read_frame_number(pixels.data(), bmi.biWidth, bmi.biHeight);
    return true;
}

int CaptureSession::stop() {
    if (!running_) return exit_ok;
    running_ = false;
    const int32_t result = vlx_Stop();
    if (result < 0) return library_failure("vlx_Stop", result);
    return exit_ok;
}

int CaptureSession::close() {
    if (int failed = stop()) return failed;
    if (!opened_) return exit_ok;
    opened_ = false;
    const int32_t result = vlx_Close();
    if (result < 0) return library_failure("vlx_Close", result);
    return exit_ok;
}

}  // namespace tool
