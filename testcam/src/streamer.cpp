#include "streamer.h"

#include <objbase.h>

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

void Streamer::thread_main() {
    // Downstream filters are free-threaded COM objects; join the MTA to call them.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(format_.frame_interval * 100));

    std::unique_lock lock(lock_);
    while (true) {
        changed_.wait(lock, [&] { return mode_ != Mode::paused; });
        if (mode_ != Mode::running) break;

        if (!started_before_) {
            started_before_ = true;
            const auto first = Clock::now() + first_frame_delay_;
            if (changed_.wait_until(lock, first, [&] { return mode_ != Mode::running; })) continue;
        }

        // Frame k of this run is due k intervals after its start. When the
        // downstream held us up past a whole interval, those frames are
        // dropped: the next frame number shows the gap.
        const auto anchor = Clock::now();
        const uint32_t base = next_frame_number_;
        uint64_t k = 0;
        bool first_of_run = true;
        while (mode_ == Mode::running) {
            if (changed_.wait_until(lock, anchor + interval * k, [&] { return mode_ != Mode::running; })) break;
            const ComPtr<IReferenceClock> clock = clock_;
            const REFERENCE_TIME stream_start = stream_start_;
            lock.unlock();
            // A frame due while the device is gone or stalled is lost.
            if (gate_.open()) deliver(base + static_cast<uint32_t>(k), first_of_run, clock.get(), stream_start);
            lock.lock();
            first_of_run = false;
            const auto elapsed = static_cast<uint64_t>((Clock::now() - anchor) / interval);
            if (elapsed > k + 1) counts_.dropped(base + static_cast<uint32_t>(k + 1), static_cast<uint32_t>(elapsed - k - 1));
            k = elapsed > k ? elapsed : k + 1;
        }
        next_frame_number_ = base + static_cast<uint32_t>(k);
    }
    lock.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}

void Streamer::deliver(uint32_t frame_number, bool discontinuity, IReferenceClock* clock,
                       REFERENCE_TIME stream_start) {
    IMediaSample* sample = nullptr;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) return;
    ComPtr<IMediaSample> owned = ComPtr<IMediaSample>::adopt(sample);

    BYTE* bits = nullptr;
    if (FAILED(sample->GetPointer(&bits)) || !bits) return;
    const LONG written = writer_.write(bits, sample->GetSize(), frame_number, stripe_offset_.load());
    if (written <= 0) return;
    sample->SetActualDataLength(written);

    // Every sample is stamped, as UVC drivers do: on the graph's clock when
    // there is one, else on the stream's own schedule of frame times.
    REFERENCE_TIME now = 0;
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(frame_number) * format_.frame_interval;
    if (clock && SUCCEEDED(clock->GetTime(&now))) start = now - stream_start;
    REFERENCE_TIME end = start + format_.frame_interval;
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
    if (SUCCEEDED(input_->Receive(sample))) counts_.delivered(written);
}

}  // namespace vlxcam
