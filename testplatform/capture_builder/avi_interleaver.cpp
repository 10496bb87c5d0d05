#include "avi_interleaver.h"

#include <mmreg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vlxtp {

namespace {

// Time stamps further off than this are a source's fault, not a gap to fill.
constexpr REFERENCE_TIME kLongestGap = 600 * 10000000LL;
// What FULL interleaving holds a stream at most, whatever the period says.
constexpr size_t kMostHeldBytes = 256u << 20;

bool is_pcm(const AviStreamFormat& format) {
    WORD tag = 0;
    std::memcpy(&tag, format.format.data(), sizeof tag);
    return tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_EXTENSIBLE;
}

// 8-bit PCM is unsigned: its silence is 0x80.
BYTE silence_byte(const AviStreamFormat& format) {
    WORD bits = 0;
    std::memcpy(&bits, format.format.data() + offsetof(WAVEFORMATEX, wBitsPerSample), sizeof bits);
    return bits == 8 ? 0x80 : 0;
}

}  // namespace

AviInterleaver::AviInterleaver(IStream* file, std::vector<AviStreamFormat> streams, const InterleaveSettings& settings)
    : writer_(file, streams, settings.old_index), settings_(settings) {
    for (AviStreamFormat& format : streams) {
        Timeline t;
        t.format = std::move(format);
        streams_.push_back(std::move(t));
    }
}

HRESULT AviInterleaver::receive(size_t stream, IMediaSample* sample) {
    if (stream >= streams_.size()) return E_INVALIDARG;
    Held held;
    const HRESULT timed = sample->GetTime(&held.start, &held.stop);
    held.timed = timed == S_OK || timed == VFW_S_NO_STOP_TIME;
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const long size = sample->GetActualDataLength();
    if (size < 0) return E_INVALIDARG;
    const AviStreamFormat& format = streams_[stream].format;
    if (held.timed && timed == VFW_S_NO_STOP_TIME)
        held.stop = held.start + (format.audio ? size * 10000000LL / format.rate : format.scale);
    held.key = format.audio || sample->IsSyncPoint() == S_OK;

    std::lock_guard guard(lock_);
    if (FAILED(failure_)) return failure_;
    Timeline& t = streams_[stream];
    if (settings_.mode != INTERLEAVE_FULL) {
        hr = place(stream, held, data, static_cast<DWORD>(size));  // straight from the sample: no copy
    } else {
        // Untimed samples keep their place behind the stream's last one.
        if (!held.timed) held.stop = t.next_order;
        else t.next_order = held.start;
        held.data.assign(data, data + size);
        t.held_bytes += held.data.size();
        t.held.push_back(std::move(held));
        hr = write_full(false);
    }
    if (FAILED(hr)) failure_ = hr;
    return hr;
}

void AviInterleaver::end_of_stream(size_t stream) {
    std::lock_guard guard(lock_);
    if (stream >= streams_.size()) return;
    streams_[stream].ended = true;
    if (SUCCEEDED(failure_) && settings_.mode == INTERLEAVE_FULL) failure_ = write_full(false);
}

// FULL interleaving writes the earliest sample first: by its start, or for
// an untimed one by the start of its stream's timed sample before it.
REFERENCE_TIME AviInterleaver::order_time(const Held& sample) { return sample.timed ? sample.start : sample.stop; }

HRESULT AviInterleaver::write_full(bool draining) {
    for (;;) {
        size_t earliest = streams_.size();
        bool every_stream_ready = true;
        bool holding_too_much = false;
        for (size_t i = 0; i < streams_.size(); ++i) {
            const Timeline& t = streams_[i];
            if (t.held.empty()) {
                every_stream_ready = every_stream_ready && t.ended;
                continue;
            }
            const REFERENCE_TIME front = order_time(t.held.front());
            if (order_time(t.held.back()) - front > settings_.period || t.held_bytes > kMostHeldBytes)
                holding_too_much = true;
            if (earliest == streams_.size() || front < order_time(streams_[earliest].held.front()))
                earliest = i;
        }
        if (earliest == streams_.size() || !(draining || every_stream_ready || holding_too_much)) return S_OK;
        Timeline& t = streams_[earliest];
        Held sample = std::move(t.held.front());
        t.held.pop_front();
        t.held_bytes -= sample.data.size();
        const HRESULT hr = place(earliest, sample, sample.data.data(), static_cast<DWORD>(sample.data.size()));
        if (FAILED(hr)) return hr;
    }
}

HRESULT AviInterleaver::place(size_t stream, const Held& sample, const BYTE* data, DWORD size) {
    Timeline& t = streams_[stream];
    const AviStreamFormat& f = t.format;
    HRESULT hr = S_OK;
    if (sample.timed) {
        if (t.first_start < 0 || sample.start < t.first_start) t.first_start = std::max<REFERENCE_TIME>(sample.start, 0);
        t.last_stop = std::max(t.last_stop, sample.stop);
    }
    const REFERENCE_TIME start = sample.timed ? std::clamp<REFERENCE_TIME>(sample.start, 0, kLongestGap) : 0;
    if (!f.audio) {
        const uint64_t slot = sample.timed ? static_cast<uint64_t>((start + f.scale / 2) / f.scale) : t.next_slot;
        const uint64_t limit = t.next_slot + static_cast<uint64_t>(kLongestGap / f.scale);
        for (; t.next_slot < std::min(slot, limit) && SUCCEEDED(hr); ++t.next_slot) hr = writer_.write(stream, nullptr, 0, false);
        if (SUCCEEDED(hr)) hr = writer_.write(stream, data, size, sample.key);
        if (SUCCEEDED(hr)) ++t.next_slot;
        return hr;
    }
    if (sample.timed && is_pcm(f)) {
        const uint64_t align = f.sample_size;
        const uint64_t position = static_cast<uint64_t>(start) * f.rate / 10000000 / align * align;
        // Less than 20 ms behind is the rounding of a source's stamps, not a gap.
        if (position > t.bytes + f.rate / 50) {
            std::vector<BYTE> silence(std::min<uint64_t>(position - t.bytes, f.rate / align * align), silence_byte(f));
            while (t.bytes < position && SUCCEEDED(hr)) {
                const DWORD piece = static_cast<DWORD>(std::min<uint64_t>(silence.size(), position - t.bytes));
                hr = writer_.write(stream, silence.data(), piece, true);
                t.bytes += piece;
            }
        }
    }
    if (SUCCEEDED(hr)) hr = writer_.write(stream, data, size, true);
    if (SUCCEEDED(hr)) t.bytes += size;
    return hr;
}

void AviInterleaver::apply_master() {
    const LONG master = settings_.master_stream;
    if (master < 0 || static_cast<size_t>(master) >= streams_.size()) return;
    const Timeline& m = streams_[static_cast<size_t>(master)];
    if (m.last_stop <= 0) return;
    // Both timelines start at stream time 0 (see place).
    const double media = m.format.audio ? static_cast<double>(m.bytes) * 1e7 / m.format.rate
                                        : static_cast<double>(m.next_slot) * m.format.scale;
    const double ratio = media / static_cast<double>(m.last_stop);
    if (!(ratio > 0.5 && ratio < 2.0) || std::fabs(ratio - 1.0) < 1e-7) return;
    for (size_t i = 0; i < streams_.size(); ++i) {
        if (i == static_cast<size_t>(master) || streams_[i].format.audio) continue;
        const double scale = std::round(streams_[i].format.scale * ratio);
        if (scale >= 1 && scale <= 0xffffffff) writer_.set_time_base(i, static_cast<DWORD>(scale), streams_[i].format.rate);
    }
}

HRESULT AviInterleaver::finish() {
    std::lock_guard guard(lock_);
    HRESULT hr = failure_;
    if (SUCCEEDED(hr)) hr = write_full(true);
    apply_master();
    const HRESULT finished = writer_.finish();
    return FAILED(hr) ? hr : finished;
}

}  // namespace vlxtp
