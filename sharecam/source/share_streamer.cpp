#include "share_streamer.h"

#include "picture.h"

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <new>

namespace vlxshare::source {

namespace {

using Clock = std::chrono::steady_clock;

// How long without a frame before "no signal" shows: a publisher that is
// merely late by a frame or two keeps its picture.
constexpr auto kSilence = std::chrono::milliseconds(500);

}  // namespace

HRESULT ShareStreamer::start(IMemAllocator* allocator, IMemInputPin* input, const StreamFormat& format) {
    stop();
    if (!wake_) wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!wake_) return HRESULT_FROM_WIN32(GetLastError());
    const HRESULT committed = allocator->Commit();
    if (FAILED(committed)) return committed;
    allocator_ = ComPtr<IMemAllocator>::share(allocator);
    input_ = ComPtr<IMemInputPin>::share(input);
    format_ = format;
    dropped_ = 0;
    delivered_ = 0;
    mode_ = Mode::paused;
    try {
        thread_ = std::thread([this] { thread_main(); });
    } catch (...) {
        mode_ = Mode::idle;
        allocator->Decommit();
        allocator_.reset();
        input_.reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void ShareStreamer::run(REFERENCE_TIME stream_start, IReferenceClock* clock) {
    std::lock_guard guard(lock_);
    if (mode_ == Mode::idle || mode_ == Mode::stopping) return;
    stream_start_ = stream_start;
    clock_ = ComPtr<IReferenceClock>::share(clock);
    mode_ = Mode::running;
    SetEvent(wake_);
}

void ShareStreamer::pause() {
    std::lock_guard guard(lock_);
    if (mode_ == Mode::running) {
        mode_ = Mode::paused;
        SetEvent(wake_);
    }
}

void ShareStreamer::stop() {
    {
        std::lock_guard guard(lock_);
        if (mode_ == Mode::idle) return;
        mode_ = Mode::stopping;
        SetEvent(wake_);
    }
    // Decommitting releases a GetBuffer that waits for a buffer downstream
    // still holds; the thread then sees the stop.
    if (allocator_) allocator_->Decommit();
    if (thread_.joinable()) thread_.join();
    std::lock_guard guard(lock_);
    mode_ = Mode::idle;
    allocator_.reset();
    input_.reset();
    clock_.reset();
}

bool ShareStreamer::wait(HANDLE frame_event, DWORD timeout_ms) {
    for (;;) {
        Mode mode;
        {
            std::lock_guard guard(lock_);
            mode = mode_;
        }
        if (mode == Mode::stopping || mode == Mode::idle) return false;
        if (mode == Mode::running) {
            const HANDLE handles[2] = {wake_, frame_event};
            WaitForMultipleObjects(frame_event ? 2 : 1, handles, FALSE, timeout_ms);
            std::lock_guard guard(lock_);
            return mode_ == Mode::running || mode_ == Mode::paused;
        }
        WaitForSingleObject(wake_, INFINITE);  // paused: until the mode changes
    }
}

void ShareStreamer::thread_main() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    transport::ChannelReader reader;
    reader.open(channel_);  // a failure reads as "no signal" throughout
    transport::SharedFrame frame;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(format_.frame_interval * 100));
    // A publisher that is there sends its first frame within the silence;
    // without one "no signal" begins after it.
    auto last_frame = Clock::now();
    auto next_blank = Clock::now();
    bool discontinuity = true;
    bool was_running = false;
    while (wait(reader.frame_event(), 0)) {
        bool running;
        {
            std::lock_guard guard(lock_);
            running = mode_ == Mode::running;
        }
        if (!running) {
            was_running = false;
            wait(nullptr, INFINITE);
            continue;
        }
        if (!was_running) {
            was_running = true;
            discontinuity = true;
            next_blank = Clock::now();
        }
        // An RGB24 connection takes a frame of its own size straight from
        // the ring into the sample: one copy fewer on the way.
        ComPtr<IMediaSample> sample;
        transport::DirectTarget target;
        if (format_.pixels == PixelFormat::rgb24) {
            IMediaSample* taken = nullptr;
            BYTE* bits = nullptr;
            if (SUCCEEDED(allocator_->GetBuffer(&taken, nullptr, nullptr, 0)) && taken) {
                sample = ComPtr<IMediaSample>::adopt(taken);
                if (SUCCEEDED(sample->GetPointer(&bits)) && bits)
                    target = transport::DirectTarget{bits, static_cast<size_t>(sample->GetSize()), format_.width, format_.height};
            }
        }
        transport::ReadResult result = transport::ReadResult::no_signal;
        try {
            result = reader.read(frame, target.bytes ? &target : nullptr);
        } catch (const std::bad_alloc&) {
        }
        const auto now = Clock::now();
        if (result == transport::ReadResult::frame) {
            dropped_ = reader.skipped();
            deliver(&frame, discontinuity, frame.direct ? std::move(sample) : ComPtr<IMediaSample>());
            discontinuity = false;
            last_frame = now;
            next_blank = now + interval;
            continue;  // there may be more
        }
        if (now - last_frame >= kSilence && now >= next_blank) {
            deliver(nullptr, discontinuity, std::move(sample));
            discontinuity = false;
            next_blank += interval;
            if (next_blank < now) next_blank = now + interval;
        }
        // Until the next frame, or the next "no signal" picture.
        auto until = next_blank;
        if (until < last_frame + kSilence) until = last_frame + kSilence;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        // Unregistered readers have no frame event: look again every frame.
        const DWORD timeout = static_cast<DWORD>(left < 1 ? 1 : (left > 100 ? 100 : left));
        if (!wait(reader.frame_event(), reader.frame_event() ? timeout : std::min<DWORD>(timeout, 15))) break;
    }
    reader.close();
    if (SUCCEEDED(com)) CoUninitialize();
}

void ShareStreamer::deliver(const transport::SharedFrame* real, bool discontinuity, ComPtr<IMediaSample> owned) {
    if (!owned) {
        IMediaSample* taken = nullptr;
        if (FAILED(allocator_->GetBuffer(&taken, nullptr, nullptr, 0)) || !taken) return;
        owned = ComPtr<IMediaSample>::adopt(taken);
    }
    IMediaSample* sample = owned.get();
    BYTE* bits = nullptr;
    const LONG bytes = static_cast<LONG>(format_.image_bytes());
    if (FAILED(sample->GetPointer(&bits)) || !bits || sample->GetSize() < bytes) return;
    try {
        if (real && real->direct) {
            // Already in the sample.
        } else if (real) {
            render_frame(real->pixels.data(), real->width, real->height, real->stride, format_, bits, scratch_);
        } else {
            render_no_signal(format_, bits, scratch_);
        }
    } catch (const std::bad_alloc&) {
        return;
    }
    sample->SetActualDataLength(bytes);
    ComPtr<IReferenceClock> clock;
    REFERENCE_TIME stream_start = 0;
    {
        std::lock_guard guard(lock_);
        clock = clock_;
        stream_start = stream_start_;
    }
    REFERENCE_TIME now = 0;
    if (clock && SUCCEEDED(clock->GetTime(&now))) {
        REFERENCE_TIME start = now - stream_start;
        REFERENCE_TIME end = start + format_.frame_interval;
        sample->SetTime(&start, &end);
    }
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
    if (SUCCEEDED(input_->Receive(sample))) ++delivered_;
}

}  // namespace vlxshare::source
