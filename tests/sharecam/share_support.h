// What the shared camera's tests share: the extension exports as a host
// finds them, child programs (tests/sharecam/share_host.cpp) that publish or
// read a channel in a process of their own, and a recorder that sorts what
// a plain DirectShow graph on a shared camera receives.
#pragma once

#include "dll/host_library.h"
#include "support/camera_graph.h"

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vlx_test {

struct ShareExports {
    decltype(&vlx_ShareSlot) ShareSlot;
    decltype(&vlx_GetShareInfo) GetShareInfo;
    decltype(&vlx_WaitFrame) WaitFrame;
    decltype(&vlx_GetFrame) GetFrame;
    decltype(&vlx_Reopen) Reopen;
};
const ShareExports& share_exports();

// The share info of `channel`, VLX_SHARE_INFO_COUNT values (all -1 when the
// call fails).
std::vector<int64_t> share_info(int32_t channel);
// Polls share_info until `done` holds for it or 20 s pass; false then.
template <class Done>
bool wait_for_info(int32_t channel, Done&& done) {
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (GetTickCount64() < deadline) {
        if (done(share_info(channel))) return true;
        Sleep(50);
    }
    return false;
}

// A child share_host.exe. It sets its ready event once it publishes (or
// reads its first frame); killed by the destructor if still running.
class Child {
public:
    // `arguments` after the program name; the ready event's name is added.
    explicit Child(const std::wstring& arguments);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // True once ready; false when it exited first or 30 s passed.
    bool wait_ready();
    void kill();
    // Its exit code after it ended by itself (waits up to 30 s), or -1.
    int exit_code();
    DWORD pid() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
    HANDLE ready_ = nullptr;
};

// Pictures as a shared-camera reader sees them.
enum class PixelKind { rgb24, yuy2, nv12 };

struct ReceivedFrame {
    bool no_signal = false;
    uint32_t number = 0;   // painted by the test camera (real frames)
    std::string problem;   // corners of a real frame; empty: right
};

// A Sample Grabber callback (BufferCB) that turns each frame into a
// bottom-up RGB24 picture and sorts it: the "no signal" picture, or a test
// camera frame with its painted number.
class ShareRecorder final : public ISampleGrabberCB {
public:
    ShareRecorder(PixelKind kind, int32_t width, int32_t height) : kind_(kind), width_(width), height_(height) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    STDMETHODIMP BufferCB(double time, BYTE* buffer, long length) override;

    std::vector<ReceivedFrame> frames();
    // Waits until `done` holds for the frames so far (20 s at most).
    template <class Done>
    bool wait_for(Done&& done) {
        const ULONGLONG deadline = GetTickCount64() + 20000;
        while (GetTickCount64() < deadline) {
            if (done(frames())) return true;
            Sleep(20);
        }
        return false;
    }
    void clear();

private:
    std::mutex lock_;
    PixelKind kind_;
    int32_t width_, height_;
    std::vector<uint8_t> rgb_;
    std::vector<ReceivedFrame> frames_;
};

// A YUV frame (top-down, BT.601 limited) back to bottom-up RGB24.
void yuv_to_rgb(PixelKind kind, const uint8_t* yuv, int32_t width, int32_t height, std::vector<uint8_t>& rgb);

size_t count_real(const std::vector<ReceivedFrame>& frames);
size_t count_no_signal(const std::vector<ReceivedFrame>& frames);
// Real frames' numbers that do not increase, and corner problems.
std::string order_problem(const std::vector<ReceivedFrame>& frames);

}  // namespace vlx_test
