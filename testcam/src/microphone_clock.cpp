#include "microphone_clock.h"

#include <algorithm>
#include <chrono>

namespace vlxcam {

MicrophoneClock::MicrophoneClock(const std::atomic<int32_t>& error_ppm) : error_ppm_(error_ppm) {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    frequency_ = value.QuadPart;
    QueryPerformanceCounter(&value);
    anchor_counter_ = value.QuadPart;
    // The device's time starts where the performance counter stands.
    anchor_time_ = static_cast<REFERENCE_TIME>(static_cast<double>(anchor_counter_) * 1e7 / frequency_);
    anchor_ppm_ = error_ppm_.load();
    last_ = anchor_time_;
}

MicrophoneClock::~MicrophoneClock() {
    {
        std::lock_guard guard(advise_lock_);
        ending_ = true;
    }
    advise_changed_.notify_all();
    if (advisor_.joinable()) advisor_.join();
}

REFERENCE_TIME MicrophoneClock::now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    std::lock_guard guard(time_lock_);
    const auto since = [&](int32_t ppm) {
        const double seconds = static_cast<double>(counter.QuadPart - anchor_counter_) / frequency_;
        return anchor_time_ + static_cast<REFERENCE_TIME>(seconds * 1e7 * (1.0 + ppm / 1e6));
    };
    const int32_t ppm = error_ppm_.load();
    if (ppm != anchor_ppm_) {  // the time so far at the old rate, from here on at the new one
        anchor_time_ = since(anchor_ppm_);
        anchor_counter_ = counter.QuadPart;
        anchor_ppm_ = ppm;
    }
    last_ = std::max(last_, since(ppm));
    return last_;
}

uint32_t MicrophoneClock::wait_ms(REFERENCE_TIME time) {
    const REFERENCE_TIME left = time - now();
    if (left <= 0) return 0;
    const double real = static_cast<double>(left) / (1.0 + error_ppm_.load() / 1e6);
    return static_cast<uint32_t>(std::min(real / 10000.0 + 1.0, 60000.0));
}

HRESULT MicrophoneClock::add(Advice advice, DWORD_PTR* cookie) {
    std::lock_guard guard(advise_lock_);
    try {
        if (!advisor_.joinable()) advisor_ = std::thread([this] { advise_loop(); });
        advice.cookie = next_cookie_++;
        advices_.push_back(advice);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = advice.cookie;
    advise_changed_.notify_all();
    return S_OK;
}

HRESULT MicrophoneClock::advise_time(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie) {
    if (!cookie) return E_POINTER;
    if (!event || base + offset <= 0) return E_INVALIDARG;
    return add({0, base + offset, 0, reinterpret_cast<HANDLE>(event)}, cookie);
}

HRESULT MicrophoneClock::advise_periodic(REFERENCE_TIME start, REFERENCE_TIME period, HSEMAPHORE semaphore,
                                         DWORD_PTR* cookie) {
    if (!cookie) return E_POINTER;
    if (!semaphore || start < 0 || period <= 0) return E_INVALIDARG;
    return add({0, start, period, reinterpret_cast<HANDLE>(semaphore)}, cookie);
}

HRESULT MicrophoneClock::unadvise(DWORD_PTR cookie) {
    std::lock_guard guard(advise_lock_);
    const auto found = std::find_if(advices_.begin(), advices_.end(), [&](const Advice& a) { return a.cookie == cookie; });
    if (found == advices_.end()) return S_FALSE;
    advices_.erase(found);
    return S_OK;
}

void MicrophoneClock::advise_loop() {
    std::unique_lock lock(advise_lock_);
    while (!ending_) {
        const REFERENCE_TIME time = now();
        REFERENCE_TIME next = time + 10000000;
        for (auto it = advices_.begin(); it != advices_.end();) {
            if (it->due <= time) {
                if (it->period) {
                    ReleaseSemaphore(it->handle, 1, nullptr);
                    it->due += it->period;
                } else {
                    SetEvent(it->handle);
                    it = advices_.erase(it);
                    continue;
                }
            }
            next = std::min(next, it->due);
            ++it;
        }
        lock.unlock();
        const uint32_t wait = wait_ms(next);
        lock.lock();
        if (wait) advise_changed_.wait_for(lock, std::chrono::milliseconds(wait));
    }
}

}  // namespace vlxcam
