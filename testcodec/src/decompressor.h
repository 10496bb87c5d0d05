// One open instance of the codec (one DRV_OPEN): the ICM_DECOMPRESS_*
// messages, answered with ICERR_* codes.
#pragma once

#include "jpeg_to_rgb.h"

#include <windows.h>
#include <vfw.h>

namespace vlxcodec {

class Decompressor {
public:
    explicit Decompressor(DWORD handler) : handler_(handler) {}

    LRESULT get_info(ICINFO* info, DWORD size) const;
    LRESULT query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) const;
    // With a null `out`, the bytes of the output format.
    LRESULT get_format(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) const;
    LRESULT begin(const BITMAPINFOHEADER* in);
    LRESULT decompress(const ICDECOMPRESS* frame, DWORD size);

private:
    DWORD handler_;  // the FourCC this instance was opened for
    JpegDecoder jpeg_;
};

}  // namespace vlxcodec
