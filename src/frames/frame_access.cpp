#include "frames/frame_access.h"

#include "library/library_state.h"
#include "library/platform_call.h"
#include "frames/current_frame.h"

#include <cstdlib>
#include <cstring>

namespace vlx {

int32_t draw_frame(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height) {
    CurrentFrame frame;
    if (const int32_t failed = frame.fetch({"vlx_GetImage->SampleGrabber->GetConnectedMediaType",
                                            "vlx_GetImage->SampleGrabber->GetCurrentBuffer", -9})) {
        return failed;
    }
    const FrameHeader header = frame.format().frame_header();
    // GDI reads cScanLines rows from the frame copy: never more rows than
    // the frame has.
    const int32_t rows = std::abs(header.bmiHeader.biHeight);
    const UINT scan_lines = height <= 0 ? 0u : static_cast<UINT>(height < rows ? height : rows);
    const int drawn = SetDIBitsToDevice(hdc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                                        scan_lines, frame.bits(), &header, DIB_RGB_COLORS);
    return drawn != 0 ? 0 : -8;
}

int32_t frame_memory_size(int32_t mode) {
    if (!active_slot().is_open()) return -1;
    if (mode != 0) return static_cast<int32_t>(sizeof(FrameHeader));
    ConnectedFormat format;
    if (const int32_t failed = format.fetch({"vlx_GetImageMemSize->SampleGrabber->GetConnectedMediaType", nullptr, -3}))
        return failed;
    return format.sample_size();
}

int32_t copy_frame(void* pixels, int32_t* size, void* header) {
    ConnectedFormat format;
    if (const int32_t failed = format.fetch({"vlx_GetImageMem->SampleGrabber->GetConnectedMediaType", nullptr, -8}))
        return failed;
    // The header is written on success; without a place for it the call is
    // refused like a null size pointer.
    if (!header) return -5;
    // The host's pointers go to the grabber as they are: one copy, straight
    // into the host's memory.
    const HRESULT status = reported_call("vlx_GetImageMem->SampleGrabber->GetCurrentBuffer", [&] {
        return format.grabber()->GetCurrentBuffer(reinterpret_cast<long*>(size), static_cast<long*>(pixels));
    });
    if (const int32_t failed = grabber_buffer_code(status)) return failed;
    const FrameHeader frame_header = format.frame_header();
    std::memcpy(header, &frame_header, sizeof frame_header);
    return 0;
}

}  // namespace vlx
