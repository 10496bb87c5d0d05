// The test microphone's own clock: the crystal its samples are taken on,
// offered to the graph as IReferenceClock, as audio capture filters offer
// theirs. Its time is the performance counter's, run fast or slow by the
// device's clock error (vlxcam_SetClockError), as a cheap USB microphone's
// sample clock runs: at +1000 parts per million its second lasts 0.999 s,
// and it takes 48048 samples in what the performance counter calls 48000.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vlxcam {

class MicrophoneClock {
public:
    // `error_ppm` is read at every reading; a change keeps the time continuous.
    explicit MicrophoneClock(const std::atomic<int32_t>& error_ppm);
    ~MicrophoneClock();
    MicrophoneClock(const MicrophoneClock&) = delete;
    MicrophoneClock& operator=(const MicrophoneClock&) = delete;

    // The device's time in 100 ns units; never goes back.
    REFERENCE_TIME now();
    // Real milliseconds until the device's time reaches `time` (0 when it has).
    uint32_t wait_ms(REFERENCE_TIME time);

    // IReferenceClock's advise calls: signal `event` once at base + offset,
    // or release `semaphore` at start, start + period, ...
    HRESULT advise_time(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie);
    HRESULT advise_periodic(REFERENCE_TIME start, REFERENCE_TIME period, HSEMAPHORE semaphore, DWORD_PTR* cookie);
    HRESULT unadvise(DWORD_PTR cookie);

private:
    struct Advice {
        DWORD_PTR cookie;
        REFERENCE_TIME due;
        REFERENCE_TIME period;  // 0: once
        HANDLE handle;
    };
    HRESULT add(Advice advice, DWORD_PTR* cookie);
    void advise_loop();

    const std::atomic<int32_t>& error_ppm_;
    std::mutex time_lock_;
    LONGLONG frequency_ = 1;
    LONGLONG anchor_counter_ = 0;
    REFERENCE_TIME anchor_time_ = 0;
    int32_t anchor_ppm_ = 0;
    REFERENCE_TIME last_ = 0;

    std::mutex advise_lock_;
    std::condition_variable advise_changed_;
    std::vector<Advice> advices_;
    DWORD_PTR next_cookie_ = 1;
    bool ending_ = false;
    std::thread advisor_;  // started by the first advice
};

}  // namespace vlxcam
