// What the decompressor takes and gives: the input formats it knows, and the
// one output format it writes for each (bottom-up RGB24 of the same size).
#pragma once

#include <windows.h>

#include <optional>

namespace vlxcodec {

enum class InputFormat { yuy2, nv12, mjpg };

inline constexpr DWORD kFourccYuy2 = MAKEFOURCC('Y', 'U', 'Y', '2');
inline constexpr DWORD kFourccNv12 = MAKEFOURCC('N', 'V', '1', '2');
inline constexpr DWORD kFourccMjpg = MAKEFOURCC('M', 'J', 'P', 'G');

// The input format `in` describes, if this codec decodes it: a known FourCC
// at a size it can hold (even where the format's chroma needs it).
std::optional<InputFormat> decodable_input(const BITMAPINFOHEADER& in);

// The one input format a driver opened for `handler` decodes (vidc.YUY2:
// YUY2); none when it was opened without a known handler, and then it
// decodes every format.
std::optional<InputFormat> format_of_handler(DWORD handler);

// Bytes one input frame needs at least (YUY2, NV12); 1 for MJPG, whose
// frames vary in size.
DWORD minimum_input_size(InputFormat format, const BITMAPINFOHEADER& in);

// The output header for `in`: RGB24, BI_RGB, bottom-up, rows padded to 4.
void output_format_for(const BITMAPINFOHEADER& in, BITMAPINFOHEADER& out);
// Whether `out` is exactly that output format (any biSizeImage of at least
// the frame's size; biXPelsPerMeter and the like are not looked at).
bool is_output_for(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out);

// Bytes of one row of the RGB24 output.
DWORD output_stride(LONG width);

}  // namespace vlxcodec
