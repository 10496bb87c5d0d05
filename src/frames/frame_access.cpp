#include "frames/frame_access.h"

#include "common/dib_size.h"
#include "library/library_state.h"
#include "library/platform_call.h"
#include "frames/current_frame.h"
#include "frames/held_frames.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vlx {

int32_t draw_frame(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height) {
    CurrentFrame frame;
    const FrameCalls calls{.format = {.media_type_context = "vlx_GetImage->SampleGrabber->GetConnectedMediaType", .no_grabber_code = -9},
                           .buffer_context = "vlx_GetImage->SampleGrabber->GetCurrentBuffer"};
    if (const int32_t failed = frame.fetch(calls)) return failed;
    const FrameHeader header = frame.format().frame_header();
    // GDI reads cScanLines whole rows from the frame copy: never more rows
    // than the frame has, nor than the copy holds (a connected sample size
    // can be smaller than its rows need).
    const int64_t stride = dib_row_bytes(header.bmiHeader.biWidth, header.bmiHeader.biBitCount);
    const int64_t rows_held = stride > 0 ? frame.size() / stride : 0;
    const int64_t rows = std::min<int64_t>(std::abs(static_cast<int64_t>(header.bmiHeader.biHeight)), rows_held);
    const UINT scan_lines = height <= 0 ? 0u : static_cast<UINT>(std::min<int64_t>(height, rows));
    const int drawn = SetDIBitsToDevice(hdc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                                        scan_lines, frame.bits(), &header, DIB_RGB_COLORS);
    return drawn != 0 ? 0 : -8;
}

int32_t frame_memory_size(int32_t mode) {
    if (!active_slot().is_open()) return -1;
    if (mode != 0) return static_cast<int32_t>(sizeof(FrameHeader));
    ConnectedFormat format;
    const FormatCalls calls{.media_type_context = "vlx_GetImageMemSize->SampleGrabber->GetConnectedMediaType", .no_grabber_code = -3};
    if (const int32_t failed = format.fetch(calls)) return failed;
    return format.sample_size();
}

int32_t copy_frame(void* pixels, int32_t* size, void* header) {
    ConnectedFormat format;
    const FormatCalls calls{.media_type_context = "vlx_GetImageMem->SampleGrabber->GetConnectedMediaType", .no_grabber_code = -8};
    if (const int32_t failed = format.fetch(calls)) return failed;
    // The header is written on success; without a place for it the call is
    // refused like a null size pointer.
    if (!header) return -5;
    const FrameHeader frame_header = format.frame_header();
    // A tracked slot's frame comes from the library's own copy, unreported.
    if (HeldFrames* frames = held_frames(library().active_slot)) {
        if (const int32_t failed = grabber_buffer_code(frames->copy_newest(reinterpret_cast<long*>(size), pixels)))
            return failed;
        std::memcpy(header, &frame_header, sizeof frame_header);
        return 0;
    }
    // The host's pointers go to the grabber as they are: one copy, straight
    // into the host's memory. A sample of an earlier connection is looked
    // at first, so that it never reaches the host's memory.
    long held = 0;
    const bool stale = platform_call("vlx_GetImageMem.SampleGrabber.GetCurrentBuffer(Size)", [&] {
        return format.grabber()->GetCurrentBuffer(&held, nullptr);
    }) == S_OK && !format.is_frame_size(held);
    const HRESULT status = reported_call("vlx_GetImageMem->SampleGrabber->GetCurrentBuffer", [&] {
        if (stale) return HRESULT{VFW_E_WRONG_STATE};
        const HRESULT got =
            format.grabber()->GetCurrentBuffer(reinterpret_cast<long*>(size), static_cast<long*>(pixels));
        return size ? held_sample_status(got, format, *size) : got;
    });
    if (const int32_t failed = grabber_buffer_code(status)) return failed;
    std::memcpy(header, &frame_header, sizeof frame_header);
    return 0;
}

}  // namespace vlx
