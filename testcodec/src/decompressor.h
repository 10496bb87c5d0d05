// One open instance of the codec (one DRV_OPEN): the ICM_DECOMPRESS_*
// messages, answered with ICERR_* codes.
#pragma once

#include "codec_formats.h"
#include "jpeg_to_rgb.h"

#include <windows.h>
#include <vfw.h>

#include <optional>

namespace vlxcodec {

class Decompressor {
public:
    explicit Decompressor(DWORD handler) : handler_(handler), only_(format_of_handler(handler)) {}

    LRESULT get_info(ICINFO* info, DWORD size) const;
    LRESULT query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) const;
    // With a null `out`, the bytes of the output format.
    LRESULT get_format(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) const;
    LRESULT begin(const BITMAPINFOHEADER* in);
    LRESULT decompress(const ICDECOMPRESS* frame, DWORD size);

private:
    // The input format of `in` when this instance decodes it.
    std::optional<InputFormat> accepted(const BITMAPINFOHEADER* in) const;

    DWORD handler_;                    // the FourCC this instance was opened for
    std::optional<InputFormat> only_;  // the one format it then decodes
    JpegDecoder jpeg_;
};

}  // namespace vlxcodec
