#include "stills/still_listener.h"

#include "common/dib_size.h"
#include "common/srw_lock.h"
#include "library/platform_call.h"
#include "stills/still_notify.h"
#include "vidlox.h"

#include <cstdlib>
#include <new>

namespace vlx {

HRESULT StillListener::create(int32_t slot, ComPtr<StillListener>& out) {
    HANDLE event = nullptr;
    const HRESULT made = platform_call("Stills.Event.CreateEvent", [&] {
        event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return event ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    });
    if (FAILED(made)) return made;
    StillListener* listener = new (std::nothrow) StillListener(slot, event);
    if (!listener) {
        CloseHandle(event);
        return E_OUTOFMEMORY;
    }
    out = ComPtr<StillListener>::adopt(listener);
    return S_OK;
}

StillListener::~StillListener() { CloseHandle(event_); }

void StillListener::set_still_header(const BITMAPINFOHEADER& header) {
    ExclusiveLock guard(header_lock_);
    still_header_ = header;
}

void StillListener::arm_capture(const BITMAPINFOHEADER& header) {
    {
        ExclusiveLock guard(header_lock_);
        capture_header_ = header;
    }
    ++armed_captures_;
}

STDMETHODIMP StillListener::SampleCB(double, IMediaSample* sample) {
    if (detached_ || !sample) return S_OK;
    // Whichever still comes while a trigger waits is the trigger's: a
    // device marks neither.
    int pending = pending_triggers_.load();
    while (pending > 0 && !pending_triggers_.compare_exchange_weak(pending, pending - 1)) {
    }
    BITMAPINFOHEADER header;
    {
        SharedLock guard(header_lock_);
        header = still_header_;
    }
    keep(sample, header, pending > 0 ? VLX_STILL_FROM_TRIGGER : VLX_STILL_FROM_BUTTON);
    return S_OK;
}

void StillListener::capture_sample(IMediaSample* sample) {
    if (detached_ || !sample) return;
    int armed = armed_captures_.load();
    do {
        if (armed <= 0) return;
    } while (!armed_captures_.compare_exchange_weak(armed, armed - 1));
    BITMAPINFOHEADER header;
    {
        SharedLock guard(header_lock_);
        header = capture_header_;
    }
    keep(sample, header, VLX_STILL_FROM_CAPTURE);
}

void StillListener::keep(IMediaSample* sample, const BITMAPINFOHEADER& header, int32_t source) {
    try {
        StillStamp stamp;
        stamp.arrival = clock_.now();
        stamp.number = ++arrived_;
        stamp.source = source;
        REFERENCE_TIME start = 0, end = 0;
        // S_OK and VFW_S_NO_STOP_TIME both carry a start time.
        if (SUCCEEDED(platform_call("StillCB.Sample.GetTime", [&] { return sample->GetTime(&start, &end); })))
            stamp.sample_time = start;
        BYTE* bytes = nullptr;
        const HRESULT pointed = platform_call("StillCB.Sample.GetPointer", [&] { return sample->GetPointer(&bytes); });
        const long length = sample->GetActualDataLength();
        // Only a still its header describes is handed out with it (the bytes
        // it describes, of a sample at least that long); any other counts as
        // arrived and is lost.
        const std::optional<uint32_t> expected =
            dib_frame_bytes(header.biWidth, header.biBitCount, std::llabs(header.biHeight));
        if (FAILED(pointed) || !bytes || !expected || *expected == 0 || length < 0 ||
            static_cast<uint32_t>(length) < *expected)
            return;
        if (!store_.put(bytes, *expected, header, stamp)) return;
        SetEvent(event_);
        announce_still(slot_, stamp);
    } catch (...) {
        // Nothing may leave a COM method; the still is lost.
    }
}

}  // namespace vlx
