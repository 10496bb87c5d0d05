#include "frames/bmp_snapshot.h"

#include "common/file_handle.h"
#include "common/string_argument.h"
#include "frames/current_frame.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

// File header and info header; no colour table follows, whatever biClrUsed says.
constexpr DWORD kPixelOffset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
static_assert(kPixelOffset == 54);

// A failed or short write both fail: the file would hold less than bfSize says.
HRESULT write_all(HANDLE file, const void* bytes, DWORD count) {
    return platform_call("vlx_SaveBMP.WriteFile", [&] {
        DWORD written = 0;
        if (!WriteFile(file, bytes, count, &written, nullptr)) return HRESULT_FROM_WIN32(GetLastError());
        return written == count ? S_OK : HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL);
    });
}

}  // namespace

int32_t save_bmp(const char* file_name) {
    CurrentFrame frame;
    const FrameCalls calls{.format = {.media_type_context = "vlx_SaveBMP->SampleGrabber->GetConnectedMediaType", .no_grabber_code = -9},
                           .buffer_context = "vlx_SaveBMP->SampleGrabber->GetCurrentBuffer"};
    if (const int32_t failed = frame.fetch(calls)) return failed;
    const auto pixel_bytes = static_cast<DWORD>(frame.size());
    BITMAPFILEHEADER file_header{};
    file_header.bfType = 0x4D42;  // "BM"
    file_header.bfSize = pixel_bytes + kPixelOffset;
    file_header.bfOffBits = kPixelOffset;

    // A value from 1 to 65535 is no address: refused as no name at all.
    if (!file_name || is_resource_number(file_name)) return -8;
    FileHandle file(CreateFileA(file_name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return -8;
    const bool written = SUCCEEDED(write_all(file.get(), &file_header, sizeof file_header)) &&
                         SUCCEEDED(write_all(file.get(), &frame.format().video_info().bmiHeader,
                                             sizeof(BITMAPINFOHEADER))) &&
                         SUCCEEDED(write_all(file.get(), frame.bits(), pixel_bytes));
    const bool closed = file.close();
    if (written && closed) return 0;
    // A picture shorter than its header says is worse than none.
    DeleteFileA(file_name);
    return -10;
}

}  // namespace vlx
