// One capture device opened into slot 0 for the length of a command, closed
// again (and the library ended) on every way out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

class CaptureSession {
public:
    CaptureSession() = default;
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;
    ~CaptureSession();

    // vlx_Init, DEVICE (an index, an exact name or path, or NAME#N) found in
    // the device list, then vlx_Open(index, render_mode, 0, param1, param2)
    // into slot 0.
    // Answers the exit code: 0, or a failure that has been printed.
    int open(const std::string& device, int32_t render_mode, intptr_t param1 = 0, intptr_t param2 = 0);
    // vlx_Init alone, for a command that sets up slot 0 before open (which
    // then does not initialise again). Answers the exit code.
    int init();
    // vlx_Play2 on the opened slot.
    int run();
    // Waits for the newest frame and copies it; answers an exit code. A
    // device that is lost, stalls or fails meanwhile ends the wait (healthy).
    int grab(std::vector<uint8_t>& pixels, BITMAPINFO& header, DWORD timeout_ms = 10000);
    // The running device's state (vlx_GetDeviceState): exit_ok while it
    // delivers or waits for its first frame; otherwise says what happened
    // to it and answers exit_failed.
    int healthy();
    // The test camera's number of a frame just grabbed, when the device is
    // one of the test camera's (their pictures carry it); else false.
    bool frame_number(const std::vector<uint8_t>& pixels, const BITMAPINFO& header, uint32_t& number) const;
    // vlx_Stop; answers an exit code.
    int stop();
    // stop, then vlx_Close; answers an exit code.
    int close();

    int32_t index = -1;
    int32_t open_code = 0;  // what vlx_Open answered
    std::string name;  // empty for an index past the list: vlx_Open then says what is wrong

private:
    int resolve(const std::string& device);

    bool started_ = false;
    bool opened_ = false;
    bool running_ = false;
    bool audio_lost_told_ = false;
};

}  // namespace tool
