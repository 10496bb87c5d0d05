#include "sharecam/share_support.h"

#include "support/frame_check.h"
#include "vidlox_sharecam.h"

#include <algorithm>
#include <cstdlib>

namespace vlx_test {

const ShareExports& share_exports() {
    static const ShareExports loaded = [] {
        vidlox();
        const HMODULE module = GetModuleHandleW(L"vidlox64.dll");
        auto find = [&](const char* name) {
            FARPROC found = GetProcAddress(module, name);
            if (!found) std::abort();
            return reinterpret_cast<void*>(found);
        };
        return ShareExports{reinterpret_cast<decltype(&vlx_ShareSlot)>(find("vlx_ShareSlot")),
                            reinterpret_cast<decltype(&vlx_GetShareInfo)>(find("vlx_GetShareInfo")),
                            reinterpret_cast<decltype(&vlx_WaitFrame)>(find("vlx_WaitFrame")),
                            reinterpret_cast<decltype(&vlx_GetFrame)>(find("vlx_GetFrame")),
                            reinterpret_cast<decltype(&vlx_Reopen)>(find("vlx_Reopen"))};
    }();
    return loaded;
}

std::vector<int64_t> share_info(int32_t channel) {
    std::vector<int64_t> info(VLX_SHARE_INFO_COUNT, -1);
    if (share_exports().GetShareInfo(channel, info.data()) < 0) info.assign(VLX_SHARE_INFO_COUNT, -1);
    return info;
}

// ---- Child ------------------------------------------------------------------

Child::Child(const std::wstring& arguments) {
    static int counter = 0;
    const std::wstring event_name =
        L"Local\\vlxshare-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    ready_ = CreateEventW(nullptr, TRUE, FALSE, event_name.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program = self;
    program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"share_host.exe";
    std::wstring command = L"\"" + program + L"\" " + arguments + L" " + event_name;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_))
        info_ = PROCESS_INFORMATION{};
}

Child::~Child() {
    kill();
    if (info_.hThread) CloseHandle(info_.hThread);
    if (info_.hProcess) CloseHandle(info_.hProcess);
    if (ready_) CloseHandle(ready_);
}

bool Child::wait_ready() {
    if (!info_.hProcess || !ready_) return false;
    const HANDLE handles[2] = {ready_, info_.hProcess};
    return WaitForMultipleObjects(2, handles, FALSE, 30000) == WAIT_OBJECT_0;
}

void Child::kill() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 30000);
    }
}

int Child::exit_code() {
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, 30000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<int>(code);
}

// ---- ShareRecorder ------------------------------------------------------------

STDMETHODIMP ShareRecorder::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
        *object = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

void yuv_to_rgb(PixelKind kind, const uint8_t* yuv, int32_t width, int32_t height, std::vector<uint8_t>& rgb) {
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    rgb.assign(stride * static_cast<size_t>(height), 0);
    const size_t w = static_cast<size_t>(width);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            int luma, u, v;
            if (kind == PixelKind::yuy2) {
                const uint8_t* pair = yuv + static_cast<size_t>(y) * w * 2 + static_cast<size_t>(x / 2) * 4;
                luma = pair[(x % 2) * 2];
                u = pair[1];
                v = pair[3];
            } else {
                luma = yuv[static_cast<size_t>(y) * w + static_cast<size_t>(x)];
                const uint8_t* chroma = yuv + w * static_cast<size_t>(height) + static_cast<size_t>(y / 2) * w +
                                        static_cast<size_t>(x / 2) * 2;
                u = chroma[0];
                v = chroma[1];
            }
            const double c = 1.164 * (luma - 16), d = u - 128, e = v - 128;
            auto clamp = [](double value) { return static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0)); };
            uint8_t* pixel = rgb.data() + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
            pixel[2] = clamp(c + 1.596 * e);
            pixel[1] = clamp(c - 0.392 * d - 0.813 * e);
            pixel[0] = clamp(c + 2.017 * d);
        }
}

STDMETHODIMP ShareRecorder::BufferCB(double, BYTE* buffer, long length) {
    std::lock_guard guard(lock_);
    const uint8_t* rgb = buffer;
    const size_t stride = (static_cast<size_t>(width_) * 3 + 3) & ~size_t{3};
    ReceivedFrame frame;
    if (kind_ != PixelKind::rgb24) {
        const long wanted = kind_ == PixelKind::yuy2 ? width_ * height_ * 2 : width_ * height_ * 3 / 2;
        if (length < wanted) {
            frame.problem = "short sample";
            frames_.push_back(frame);
            return S_OK;
        }
        yuv_to_rgb(kind_, buffer, width_, height_, rgb_);
        rgb = rgb_.data();
    } else if (static_cast<size_t>(length) < stride * static_cast<size_t>(height_)) {
        frame.problem = "short sample";
        frames_.push_back(frame);
        return S_OK;
    }
    const int tolerance = kind_ == PixelKind::rgb24 ? 0 : 12;
    const Rgb middle = pixel_at(rgb, width_, height_, width_ / 2, height_ / 8);
    const Rgb corner = pixel_at(rgb, width_, height_, 0, 0);
    auto close_to = [&](const Rgb& p, int r, int g, int b) {
        return std::abs(p.r - r) <= tolerance + 2 && std::abs(p.g - g) <= tolerance + 2 &&
               std::abs(p.b - b) <= tolerance + 2;
    };
    if (close_to(middle, VLXSHARE_NO_SIGNAL_R, VLXSHARE_NO_SIGNAL_G, VLXSHARE_NO_SIGNAL_B) &&
        close_to(corner, VLXSHARE_NO_SIGNAL_R, VLXSHARE_NO_SIGNAL_G, VLXSHARE_NO_SIGNAL_B)) {
        frame.no_signal = true;
    } else {
        frame.problem = corner_problem(rgb, width_, height_, tolerance);
        frame.number = frame_number(rgb, width_, height_);
    }
    frames_.push_back(frame);
    return S_OK;
}

std::vector<ReceivedFrame> ShareRecorder::frames() {
    std::lock_guard guard(lock_);
    return frames_;
}

void ShareRecorder::clear() {
    std::lock_guard guard(lock_);
    frames_.clear();
}

size_t count_real(const std::vector<ReceivedFrame>& frames) {
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(), [](auto& f) { return !f.no_signal; }));
}

size_t count_no_signal(const std::vector<ReceivedFrame>& frames) {
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(), [](auto& f) { return f.no_signal; }));
}

std::string order_problem(const std::vector<ReceivedFrame>& frames) {
    bool have_last = false;
    uint32_t last = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const ReceivedFrame& frame = frames[i];
        if (frame.no_signal) {
            have_last = false;  // a new publisher numbers from its own start
            continue;
        }
        if (!frame.problem.empty()) return "frame " + std::to_string(i) + ": " + frame.problem;
        if (have_last && frame.number <= last)
            return "frame " + std::to_string(i) + ": number " + std::to_string(frame.number) + " after " +
                   std::to_string(last);
        have_last = true;
        last = frame.number;
    }
    return {};
}

}  // namespace vlx_test
