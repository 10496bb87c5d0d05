// The pixel formats the camera can send: RGB24 and the formats real webcams
// deliver. Each is named by its BITMAPINFOHEADER biCompression (BI_RGB for
// RGB24, else the FourCC, which is also the subtype's first field).
#pragma once

#include <windows.h>

namespace vlxcam {

inline constexpr DWORD kFourccYuy2 = MAKEFOURCC('Y', 'U', 'Y', '2');
inline constexpr DWORD kFourccNv12 = MAKEFOURCC('N', 'V', '1', '2');
inline constexpr DWORD kFourccMjpg = MAKEFOURCC('M', 'J', 'P', 'G');
// YUY2 bytes under a FourCC that no decoder knows.
inline constexpr DWORD kFourccUndecodable = MAKEFOURCC('V', 'L', 'X', 'U');

// Whether the camera can send `fourcc`.
bool is_camera_pixel_format(DWORD fourcc);
GUID subtype_of(DWORD fourcc);
// The pixel format a subtype names (BI_RGB for RGB24), or 0xffffffff.
DWORD pixel_format_of(const GUID& subtype);
WORD bit_count_of(DWORD fourcc);
bool is_compressed(DWORD fourcc);
// Bytes of one frame; for MJPG, the most one frame may take.
DWORD frame_bytes(DWORD fourcc, LONG width, LONG height);

}  // namespace vlxcam
