// The test compressor filter: RGB24 in, Motion JPEG out.
#pragma once

#include <windows.h>

namespace vlxtp {

extern const CLSID kMjpegCompressorClsid;

HRESULT create_mjpeg_compressor(REFIID iid, void** out);

}  // namespace vlxtp
