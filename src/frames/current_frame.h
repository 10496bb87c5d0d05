// The newest frame of the active slot, as its Sample Grabber holds it.
//
// Frames are 24-bit blue-green-red DIBs, rows padded to 4 bytes, bottom-up
// when biHeight is positive, described by the BITMAPINFOHEADER of the
// grabber's connected VIDEOINFOHEADER. Nothing here converts or flips them.
#pragma once

#include "common/directshow.h"
#include "common/media_type.h"

#include <cstdint>
#include <memory>

namespace vlx {

// The 44-byte frame header: the connected bmiHeader and one zero RGBQUAD.
using FrameHeader = BITMAPINFO;
static_assert(sizeof(FrameHeader) == 44);

struct FormatCalls {
    const char* media_type_context;  // GetConnectedMediaType
    int32_t no_grabber_code;
};

struct FrameCalls {
    FormatCalls format;
    const char* buffer_context;  // GetCurrentBuffer
};

// GetCurrentBuffer failed with a code that has no meaning of its own here.
inline constexpr int32_t kOtherBufferFailure = -34;

// Maps GetCurrentBuffer's refusals to -3 ... -7, any other failure to
// kOtherBufferFailure, and success codes to 0.
int32_t grabber_buffer_code(HRESULT status);

// The connected media type of the active slot's grabber, with its format
// block checked to hold a whole VIDEOINFOHEADER.
class ConnectedFormat {
public:
    // The slot check, the grabber check and GetConnectedMediaType: 0, -1,
    // calls.no_grabber_code or -2.
    int32_t fetch(const FormatCalls& calls);

    const VIDEOINFOHEADER& video_info() const {
        return *reinterpret_cast<const VIDEOINFOHEADER*>(type_->pbFormat);
    }
    int32_t sample_size() const { return static_cast<int32_t>(type_->lSampleSize); }
    // Whether `bytes` is the size of this connection's frames (lSampleSize,
    // or the DIB size of its bmiHeader when that is 0). The grabber keeps the
    // last sample of an earlier connection and hands it out under the new
    // type: a sample of another size is no frame of this connection.
    bool is_frame_size(long bytes) const;
    FrameHeader frame_header() const;
    ISampleGrabber* grabber() const { return grabber_; }

private:
    MediaType type_;
    ISampleGrabber* grabber_ = nullptr;  // the slot's reference
};

// GetCurrentBuffer's answer `got` for a held sample of `held` bytes, as the
// frame functions take it: VFW_E_WRONG_STATE (no frame yet) when the sample
// is not of the connection's frame size.
HRESULT held_sample_status(HRESULT got, const ConnectedFormat& format, long held);

// The frame fetch with a frame copy of its own, freed with the object.
class CurrentFrame {
public:
    // 0 or the negative code of the failing step. A frame copy that cannot
    // be allocated gives -4, as a buffer too small would.
    int32_t fetch(const FrameCalls& calls);

    const ConnectedFormat& format() const { return format_; }
    const uint8_t* bits() const { return copy_.get(); }
    // The byte count GetCurrentBuffer reported back.
    int32_t size() const { return size_; }

private:
    ConnectedFormat format_;
    std::unique_ptr<uint8_t[]> copy_;
    long size_ = 0;
};

}  // namespace vlx
