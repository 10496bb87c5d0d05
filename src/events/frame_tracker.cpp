#include "events/frame_tracker.h"

#include "common/performance_clock.h"
#include "events/frame_notify.h"
#include "library/platform_call.h"

#include <climits>
#include <new>
#include <utility>

namespace vlx {

HRESULT FrameTracker::create(int32_t slot, ComPtr<FrameTracker>& out) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);  // never fails since Windows XP
    HANDLE event = nullptr;
    const HRESULT made = platform_call("FrameTracking.Event.CreateEvent", [&] {
        event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return event ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    });
    if (FAILED(made)) return made;
    FrameTracker* tracker = new (std::nothrow) FrameTracker(slot, event, frequency.QuadPart);
    if (!tracker) {
        CloseHandle(event);
        return E_OUTOFMEMORY;
    }
    out = ComPtr<FrameTracker>::adopt(tracker);
    return S_OK;
}

FrameTracker::~FrameTracker() { CloseHandle(event_); }

int64_t FrameTracker::arrival_now() const {
    LARGE_INTEGER ticks{};
    QueryPerformanceCounter(&ticks);
    return counter_in_100ns(ticks.QuadPart, counter_frequency_);
}

STDMETHODIMP FrameTracker::SampleCB(double, IMediaSample* sample) {
    if (detached_ || !sample) return S_OK;
    try {
        FrameStamp stamp;
        stamp.arrival = arrival_now();
        stamp.number = store_.count_arrival();
        stamp.connection = connection();
        REFERENCE_TIME start = 0, end = 0;
        // S_OK and VFW_S_NO_STOP_TIME both carry a start time.
        if (SUCCEEDED(platform_call("SampleCB.Sample.GetTime", [&] { return sample->GetTime(&start, &end); })))
            stamp.sample_time = start;

        BYTE* bytes = nullptr;
        const HRESULT pointed = platform_call("SampleCB.Sample.GetPointer", [&] { return sample->GetPointer(&bytes); });
        const long length = sample->GetActualDataLength();
        // A sample without bytes still counts as arrived; the newest frame
        // held stays the one before it.
        if (FAILED(pointed) || !bytes || length < 0) return S_OK;
        if (!store_.publish(sample, bytes, static_cast<size_t>(length), stamp)) return S_OK;
        SetEvent(event_);
        announce_frame(slot_, stamp.number);
    } catch (...) {
        // Nothing may leave a COM method; the frame is lost to tracking.
    }
    return S_OK;
}

void FrameTracker::hold_samples_from(ComPtr<IMemAllocator> allocator) {
    holds_samples_ = static_cast<bool>(allocator);
    store_.allow_samples(std::move(allocator));
}

void FrameTracker::detach() {
    detached_ = true;
    holds_samples_ = false;
    store_.release_unlent();
}

HRESULT FrameTracker::copy_newest(long* size, void* destination) {
    if (!size) return E_POINTER;
    const size_t capacity = *size > 0 ? static_cast<size_t>(*size) : 0;
    const FrameStore::Taken taken = store_.take(destination, capacity, connection());
    if (taken.outcome == FrameStore::Outcome::no_frame) return VFW_E_WRONG_STATE;
    // Frames come from a grabber whose sizes are 32-bit.
    *size = taken.size > LONG_MAX ? LONG_MAX : static_cast<long>(taken.size);
    return taken.outcome == FrameStore::Outcome::too_small ? E_OUTOFMEMORY : S_OK;
}

}  // namespace vlx
