// The test compressor filter: RGB24 in, Motion JPEG out.
#pragma once

#include <windows.h>

namespace vlxtp {

extern const CLSID kMjpegCompressorClsid;

// A class factory's creation function.
HRESULT create_mjpeg_compressor(REFCLSID clsid, REFIID iid, void** out);

}  // namespace vlxtp
