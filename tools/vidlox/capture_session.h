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

    // vlx_Init; on failure prints it and answers the exit code, else 0.
    int start();
    // The device's index from DEVICE, an index or an exact name; sets
    // `index` and `name` (empty when given as an index past the list: then
    // vlx_Open itself says what is wrong).
    int resolve(const std::string& device);
    // vlx_Open(index, render_mode, 0, param1, param2).
    int open(int32_t render_mode, intptr_t param1 = 0, intptr_t param2 = 0);
    // open, then vlx_Play2.
    int open_and_run(int32_t render_mode, intptr_t param1 = 0, intptr_t param2 = 0);
    // Waits for the newest frame and copies it; answers an exit code.
    int grab(std::vector<uint8_t>& pixels, BITMAPINFO& header, DWORD timeout_ms = 10000);
    // The test camera's number of a frame just grabbed, when the device is
    // one of the test camera's (their pictures carry it); else false.
    bool frame_number(const std::vector<uint8_t>& pixels, const BITMAPINFO& header, uint32_t& number) const;
    // vlx_Stop; answers an exit code.
    int stop();
    // stop, then vlx_Close; answers an exit code.
    int close();

    int32_t index = -1;
    std::string name;

private:
    bool started_ = false;
    bool opened_ = false;
    bool running_ = false;
};

}  // namespace tool
