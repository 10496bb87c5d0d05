#include "streamer.h"

#include <objbase.h>

#include <algorithm>
#include <new>

namespace vlxcam {

HRESULT Streamer::start(IMemAllocator* allocator, IMemInputPin* input, const VideoFormat& format) {
    stop();
    try {
        writer_.configure(format);  // the row templates and picture: the frame-sized allocations
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT committed = allocator->Commit();
    if (FAILED(committed)) return committed;
    allocator_ = ComPtr<IMemAllocator>::share(allocator);
    input_ = ComPtr<IMemInputPin>::share(input);
    format_ = format;
    next_frame_number_ = 0;
    started_before_ = false;
    counts_.restart();
    mode_ = Mode::paused;
    try {
        thread_ = std::thread([this] { thread_main(); });
    } catch (...) {  // std::system_error, or std::bad_alloc for the thread's state
        mode_ = Mode::idle;
        allocator->Decommit();
        allocator_.reset();
        input_.reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void Streamer::run(REFERENCE_TIME stream_start, IReferenceClock* clock) {
    std::lock_guard guard(lock_);
    if (mode_ == Mode::idle || mode_ == Mode::stopping) return;
    stream_start_ = stream_start;
    clock_ = ComPtr<IReferenceClock>::share(clock);
    ++run_generation_;
    mode_ = Mode::running;
    changed_.notify_all();
}

void Streamer::pause() {
    std::lock_guard guard(lock_);
    if (mode_ == Mode::running) {
        mode_ = Mode::paused;
        changed_.notify_all();
    }
}

void Streamer::stop() {
    {
        std::lock_guard guard(lock_);
        if (mode_ == Mode::idle) return;
        mode_ = Mode::stopping;
        changed_.notify_all();
    }
    // Decommitting first releases a GetBuffer that waits for a buffer the
    // downstream still holds; the thread then sees the stop and ends.
    if (allocator_) allocator_->Decommit();
    if (thread_.joinable()) thread_.join();
    std::lock_guard guard(lock_);
    mode_ = Mode::idle;
    allocator_.reset();
    input_.reset();
    clock_.reset();
}

REFERENCE_TIME Streamer::stream_time(IReferenceClock* clock, REFERENCE_TIME stream_start, Clock::time_point anchor) {
    REFERENCE_TIME now = 0;
    if (clock && SUCCEEDED(clock->GetTime(&now))) return now - stream_start;
    return std::chrono::duration_cast<std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10000000>>>(Clock::now() - anchor)
        .count();
}

namespace {

// Whether the frame of stream time `stamp` is the one nearest a whole second:
// a second lies within half an interval before it or less than half after.
bool flashes(REFERENCE_TIME stamp, REFERENCE_TIME interval) {
    constexpr REFERENCE_TIME kSecond = 10000000;
    const REFERENCE_TIME from = stamp - interval / 2;
    const REFERENCE_TIME second = from <= 0 ? 0 : (from + kSecond - 1) / kSecond * kSecond;
    return second < from + interval;
}

}  // namespace

void Streamer::thread_main() {
    // Downstream filters are free-threaded COM objects; join the MTA to call them.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const REFERENCE_TIME interval = std::max<REFERENCE_TIME>(format_.frame_interval, 1);

    std::unique_lock lock(lock_);
    while (true) {
        changed_.wait(lock, [&] { return mode_ != Mode::paused; });
        if (mode_ != Mode::running) break;

        // The run's own copies: a Pause and Run meanwhile starts another.
        const uint64_t generation = run_generation_;
        const ComPtr<IReferenceClock> clock = clock_;
        const REFERENCE_TIME stream_start = stream_start_;
        const auto anchor = Clock::now();
        const auto now = [&] { return stream_time(clock.get(), stream_start, anchor); };
        const auto still_this_run = [&] { return mode_ == Mode::running && run_generation_ == generation; };

        REFERENCE_TIME delay = 0;
        if (!started_before_) {
            started_before_ = true;
            delay = std::chrono::duration_cast<std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10000000>>>(
                        first_frame_delay_).count();
        }
        lock.unlock();
        const REFERENCE_TIME begin = std::max<REFERENCE_TIME>(now() + delay, 0);
        lock.lock();
        // Frame slot j is due at stream time j intervals. When the downstream
        // held us up past a whole interval, those frames are dropped: the
        // next frame number shows the gap.
        const uint64_t first_slot = static_cast<uint64_t>((begin + interval - 1) / interval);
        const uint32_t base = next_frame_number_;
        uint64_t slot = first_slot;
        bool first_of_run = true;
        while (still_this_run()) {
            const REFERENCE_TIME due = static_cast<REFERENCE_TIME>(slot) * interval;
            lock.unlock();
            const REFERENCE_TIME left = due - now();
            lock.lock();
            if (left > 0) {
                const auto wait = std::chrono::microseconds(std::min<REFERENCE_TIME>(left / 10 + 500, 100000));
                changed_.wait_for(lock, wait, [&] { return !still_this_run(); });
                continue;
            }
            const uint32_t number = base + static_cast<uint32_t>(slot - first_slot);
            lock.unlock();
            // A frame due while the device is gone or stalled is lost.
            if (gate_.open()) deliver(number, first_of_run, clock ? due : static_cast<REFERENCE_TIME>(number) * interval);
            const REFERENCE_TIME after = now();
            lock.lock();
            first_of_run = false;
            const uint64_t reached = after > 0 ? static_cast<uint64_t>(after / interval) : 0;
            if (reached > slot + 1)
                counts_.dropped(base + static_cast<uint32_t>(slot + 1 - first_slot), static_cast<uint32_t>(reached - slot - 1));
            slot = reached > slot ? reached : slot + 1;
        }
        next_frame_number_ = base + static_cast<uint32_t>(slot - first_slot);
    }
    lock.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}

void Streamer::deliver(uint32_t frame_number, bool discontinuity, REFERENCE_TIME stamp) {
    IMediaSample* sample = nullptr;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) return;
    ComPtr<IMediaSample> owned = ComPtr<IMediaSample>::adopt(sample);

    BYTE* bits = nullptr;
    if (FAILED(sample->GetPointer(&bits)) || !bits) return;
    const LONG written = writer_.write(bits, sample->GetSize(), frame_number, stripe_offset_.load(),
                                       flashes(stamp, format_.frame_interval));
    if (written <= 0) return;
    sample->SetActualDataLength(written);

    // Every sample is stamped, as UVC drivers do: with the time it was taken.
    REFERENCE_TIME start = stamp;
    REFERENCE_TIME end = start + format_.frame_interval;
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
    if (SUCCEEDED(input_->Receive(sample))) counts_.delivered(written);
}

}  // namespace vlxcam
