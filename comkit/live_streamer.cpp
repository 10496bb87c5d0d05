#include "comkit/live_streamer.h"

#include <objbase.h>

#include <algorithm>

namespace vlxcom {

LiveStreamer::~LiveStreamer() {
    stop();
    if (leaving_run_) CloseHandle(leaving_run_);
}

void LiveStreamer::set_mode(Mode mode) {
    mode_ = mode;
    if (leaving_run_) {
        if (mode == Mode::running)
            ResetEvent(leaving_run_);
        else
            SetEvent(leaving_run_);
    }
    changed_.notify_all();
}

HRESULT LiveStreamer::start(IMemAllocator* allocator, IMemInputPin* input, const AM_MEDIA_TYPE& connection) {
    stop();
    if (!leaving_run_) {
        leaving_run_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        if (!leaving_run_) return HRESULT_FROM_WIN32(GetLastError());
    }
    const HRESULT prepared = source_.prepare(connection);
    if (FAILED(prepared)) return prepared;
    const HRESULT committed = allocator->Commit();
    if (FAILED(committed)) return committed;
    allocator_ = ComPtr<IMemAllocator>::share(allocator);
    input_ = ComPtr<IMemInputPin>::share(input);
    {
        std::lock_guard guard(lock_);
        set_mode(Mode::paused);
    }
    try {
        thread_ = std::thread([this] { thread_main(); });
    } catch (...) {  // std::system_error, or std::bad_alloc for the thread's state
        {
            std::lock_guard guard(lock_);
            set_mode(Mode::idle);
        }
        allocator->Decommit();
        allocator_.reset();
        input_.reset();
        source_.finish();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void LiveStreamer::run(REFERENCE_TIME stream_start, IReferenceClock* clock) {
    std::lock_guard guard(lock_);
    if (mode_ == Mode::idle || mode_ == Mode::stopping) return;
    stream_start_ = stream_start;
    clock_ = ComPtr<IReferenceClock>::share(clock);
    set_mode(Mode::running);
}

void LiveStreamer::pause() {
    std::lock_guard guard(lock_);
    if (mode_ == Mode::running) set_mode(Mode::paused);
}

void LiveStreamer::stop() {
    {
        std::lock_guard guard(lock_);
        if (mode_ == Mode::idle) return;
        set_mode(Mode::stopping);
    }
    // Decommitting first releases a GetBuffer that waits for a buffer the
    // downstream still holds; the thread then sees the stop and ends.
    if (allocator_) allocator_->Decommit();
    if (thread_.joinable()) thread_.join();
    {
        std::lock_guard guard(lock_);
        set_mode(Mode::idle);
        clock_.reset();
    }
    allocator_.reset();
    input_.reset();
    source_.finish();
}

void LiveStreamer::thread_main() {
    // Downstream filters are free-threaded COM objects; join the MTA to call them.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock lock(lock_);
    for (;;) {
        changed_.wait(lock, [&] { return mode_ != Mode::paused; });
        if (mode_ != Mode::running) break;
        lock.unlock();
        source_.stream(*this);
        lock.lock();
    }
    lock.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}

bool LiveStreamer::wait_until(Clock::time_point deadline) {
    std::unique_lock lock(lock_);
    return !changed_.wait_until(lock, deadline, [&] { return mode_ != Mode::running; });
}

bool LiveStreamer::wait_until(Clock::time_point deadline, HANDLE event) {
    if (!event) return wait_until(deadline);
    int fired = -1;
    return wait_until(deadline, std::span<const HANDLE>(&event, 1), fired);
}

bool LiveStreamer::wait_until(Clock::time_point deadline, std::span<const HANDLE> events, int& fired) {
    fired = -1;
    {
        std::lock_guard guard(lock_);
        if (mode_ != Mode::running) return false;
    }
    // `leaving_run_` is set for as long as the mode is not running, so a
    // change that came before this wait still ends it.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const DWORD timeout = static_cast<DWORD>(std::clamp<long long>(left, 0, 0x7fffffff));
    HANDLE handles[MAXIMUM_WAIT_OBJECTS] = {leaving_run_};
    const size_t count = std::min<size_t>(events.size(), MAXIMUM_WAIT_OBJECTS - 1);
    std::copy_n(events.begin(), count, handles + 1);
    const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(count + 1), handles, FALSE, timeout);
    if (woke > WAIT_OBJECT_0 && woke <= WAIT_OBJECT_0 + count) fired = static_cast<int>(woke - WAIT_OBJECT_0 - 1);
    std::lock_guard guard(lock_);
    return mode_ == Mode::running;
}

ComPtr<IMediaSample> LiveStreamer::buffer() {
    IMediaSample* sample = nullptr;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) return {};
    return ComPtr<IMediaSample>::adopt(sample);
}

bool LiveStreamer::stream_time(REFERENCE_TIME& now) {
    ComPtr<IReferenceClock> clock;
    REFERENCE_TIME stream_start = 0;
    {
        std::lock_guard guard(lock_);
        clock = clock_;
        stream_start = stream_start_;
    }
    REFERENCE_TIME time = 0;
    if (!clock || FAILED(clock->GetTime(&time))) return false;
    now = time - stream_start;
    return true;
}

HRESULT LiveStreamer::send(IMediaSample* sample, LONG bytes, const REFERENCE_TIME* times, bool discontinuity) {
    sample->SetActualDataLength(bytes);
    if (times) {
        REFERENCE_TIME start = times[0], end = times[1];
        sample->SetTime(&start, &end);
    }
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
    return input_->Receive(sample);
}

}  // namespace vlxcom
