#include "microphone_streamer.h"

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vlxcam {

namespace {

// A sample of the signal as a signed value of `bits` bits' range.
int32_t signal_value(uint32_t rate, uint16_t bits, uint64_t n) {
    const uint64_t in_second = n % rate;
    if (in_second >= static_cast<uint64_t>(rate) * kClickMs / 1000) return 0;
    const int32_t full = (1 << (bits - 1)) - 1;
    const int32_t level = static_cast<int32_t>(full * 0.9);
    return (in_second * 2 * kClickHz / rate) % 2 == 0 ? level : -level;
}

}  // namespace

void write_test_signal(const AudioFormat& format, uint64_t first, uint32_t count, BYTE* out) {
    const uint32_t bytes = format.bits / 8u;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t value = signal_value(format.rate, format.bits, first + i);
        // 8-bit PCM is unsigned around 128; wider samples are signed, little-endian.
        const uint32_t stored = bytes == 1 ? static_cast<uint32_t>(value + 128) : static_cast<uint32_t>(value);
        for (uint16_t c = 0; c < format.channels; ++c) {
            for (uint32_t b = 0; b < bytes; ++b) *out++ = static_cast<BYTE>(stored >> (8 * b));
        }
    }
}

HRESULT MicrophoneStreamer::start(IMemAllocator* allocator, IMemInputPin* input, const AudioFormat& format,
                                  uint32_t block_bytes) {
    stop();
    const HRESULT committed = allocator->Commit();
    if (FAILED(committed)) return committed;
    allocator_ = ComPtr<IMemAllocator>::share(allocator);
    input_ = ComPtr<IMemInputPin>::share(input);
    format_ = format;
    block_samples_ = std::max<uint32_t>(block_bytes / format.block_align(), 1);
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

void MicrophoneStreamer::run(REFERENCE_TIME stream_start, IReferenceClock* graph_clock) {
    // Where stream time 0 lies on the device's clock.
    REFERENCE_TIME graph_now = 0;
    const REFERENCE_TIME device_now = device_clock_.now();
    REFERENCE_TIME device_start = device_now;
    if (graph_clock && SUCCEEDED(graph_clock->GetTime(&graph_now))) device_start = device_now - (graph_now - stream_start);
    std::lock_guard guard(lock_);
    if (mode_ == Mode::idle || mode_ == Mode::stopping) return;
    device_start_ = device_start;
    new_run_ = true;
    mode_ = Mode::running;
    changed_.notify_all();
}

void MicrophoneStreamer::pause() {
    std::lock_guard guard(lock_);
    if (mode_ == Mode::running) {
        mode_ = Mode::paused;
        changed_.notify_all();
    }
}

void MicrophoneStreamer::stop() {
    {
        std::lock_guard guard(lock_);
        if (mode_ == Mode::idle) return;
        mode_ = Mode::stopping;
        changed_.notify_all();
    }
    if (allocator_) allocator_->Decommit();
    if (thread_.joinable()) thread_.join();
    std::lock_guard guard(lock_);
    mode_ = Mode::idle;
    allocator_.reset();
    input_.reset();
}

void MicrophoneStreamer::thread_main() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock lock(lock_);
    uint64_t next_block = 0;
    bool discontinuity = true;
    while (true) {
        changed_.wait(lock, [&] { return mode_ != Mode::paused; });
        if (mode_ != Mode::running) break;
        if (new_run_) {
            // A run takes samples from the stream time it starts at.
            new_run_ = false;
            const REFERENCE_TIME elapsed = std::max<REFERENCE_TIME>(device_clock_.now() - device_start_, 0);
            next_block = static_cast<uint64_t>(elapsed) * format_.rate / 10000000 / block_samples_;
            discontinuity = true;
        }
        const uint64_t first = next_block * block_samples_;
        const REFERENCE_TIME due =
            device_start_ + static_cast<REFERENCE_TIME>((first + block_samples_) * 10000000 / format_.rate);
        const uint32_t wait = device_clock_.wait_ms(due);
        if (wait) {
            changed_.wait_for(lock, std::chrono::milliseconds(wait), [&] { return mode_ != Mode::running || new_run_; });
            continue;
        }
        lock.unlock();
        // Samples taken while the device is gone or stalled are lost.
        const bool delivered = gate_.open();
        if (delivered) deliver(first, discontinuity);
        lock.lock();
        discontinuity = !delivered;
        ++next_block;
    }
    lock.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}

void MicrophoneStreamer::deliver(uint64_t first_sample, bool discontinuity) {
    IMediaSample* sample = nullptr;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) return;
    ComPtr<IMediaSample> owned = ComPtr<IMediaSample>::adopt(sample);
    BYTE* bytes = nullptr;
    const long size = static_cast<long>(block_samples_ * format_.block_align());
    if (FAILED(sample->GetPointer(&bytes)) || !bytes || sample->GetSize() < size) return;
    write_test_signal(format_, first_sample, block_samples_, bytes);
    sample->SetActualDataLength(size);
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(first_sample * 10000000 / format_.rate);
    REFERENCE_TIME end = static_cast<REFERENCE_TIME>((first_sample + block_samples_) * 10000000 / format_.rate);
    sample->SetTime(&start, &end);
    LONGLONG media_start = static_cast<LONGLONG>(first_sample), media_end = media_start + block_samples_;
    sample->SetMediaTime(&media_start, &media_end);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
    input_->Receive(sample);
}

}  // namespace vlxcam
