#include "frames/current_frame.h"

#include "common/dib_size.h"
#include "frames/held_frames.h"
#include "library/library_state.h"
#include "library/platform_call.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace vlx {

int32_t grabber_buffer_code(HRESULT status) {
    switch (status) {
    case E_INVALIDARG:
        return -3;  // buffering is off
    case E_OUTOFMEMORY:
        return -4;  // the buffer is too small
    case E_POINTER:
        return -5;
    case VFW_E_NOT_CONNECTED:
        return -6;
    case VFW_E_WRONG_STATE:
        return -7;  // no sample has arrived yet
    default:
        // Any other failure left no frame worth handing out; success codes
        // other than S_OK still delivered one.
        return FAILED(status) ? kOtherBufferFailure : 0;
    }
}

int32_t ConnectedFormat::fetch(const FormatCalls& calls) {
    const Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.sample_grabber) return calls.no_grabber_code;
    grabber_ = slot.sample_grabber.get();
    const HRESULT status = reported_call(calls.media_type_context,
                                         [&] { return grabber_->GetConnectedMediaType(type_.reset()); });
    if (status != S_OK) return -2;
    // The grabber only connects FORMAT_VideoInfo; a type without a whole
    // VIDEOINFOHEADER is refused rather than read past its end.
    if (!IsEqualGUID(type_->formattype, FORMAT_VideoInfo) || !type_->pbFormat ||
        type_->cbFormat < sizeof(VIDEOINFOHEADER)) {
        return -2;
    }
    return 0;
}

bool ConnectedFormat::is_frame_size(long bytes) const {
    if (type_->lSampleSize > 0) return static_cast<ULONG>(bytes) == type_->lSampleSize && bytes > 0;
    const BITMAPINFOHEADER& bmi = video_info().bmiHeader;
    const std::optional<uint32_t> frame = dib_frame_bytes(bmi.biWidth, bmi.biBitCount, std::llabs(bmi.biHeight));
    // A header that states no size cannot tell: the sample is taken as it is.
    return !frame || *frame == 0 || static_cast<uint32_t>(bytes) == *frame;
}

HRESULT held_sample_status(HRESULT got, const ConnectedFormat& format, long held) {
    // A sample of an earlier connection, of another size, counts as none:
    // the grabber answers as it does before the first sample.
    if ((got == S_OK || got == E_OUTOFMEMORY) && !format.is_frame_size(held)) return VFW_E_WRONG_STATE;
    return got;
}

FrameHeader ConnectedFormat::frame_header() const {
    FrameHeader header;
    std::memset(&header, 0, sizeof header);
    std::memcpy(&header.bmiHeader, &video_info().bmiHeader, sizeof(BITMAPINFOHEADER));
    return header;
}

int32_t CurrentFrame::fetch(const FrameCalls& calls) {
    if (const int32_t failed = format_.fetch(calls.format)) return failed;

    size_ = format_.sample_size();
    const HRESULT allocated = platform_call("AllocateFrameCopy", [&] {
        // Zeroed: a grabber that reports fewer bytes than the frame holds
        // leaves the rest as it was, and that must not be heap garbage.
        if (size_ > 0) copy_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size_)]());
        return copy_ ? S_OK : E_OUTOFMEMORY;
    });
    if (FAILED(allocated)) return -4;

    // A tracked slot's frame comes from the library's own copy, unreported.
    if (HeldFrames* held = held_frames(library().active_slot))
        return grabber_buffer_code(held->copy_newest(&size_, copy_.get()));
    const HRESULT status = reported_call(calls.buffer_context, [&] {
        return held_sample_status(
            format_.grabber()->GetCurrentBuffer(&size_, reinterpret_cast<long*>(copy_.get())), format_, size_);
    });
    return grabber_buffer_code(status);
}

}  // namespace vlx
