// The installable-driver entry point that msvfw32 (ICOpen, ICSendMessage)
// calls. Each DRV_OPEN makes one Decompressor, whose address is the driver
// id of every later message.
#include "decompressor.h"

#include <windows.h>
#include <mmsystem.h>
#include <vfw.h>

#include <new>

namespace vlxcodec {

namespace {

bool opened_for_compression(const ICOPEN* open) {
    const WORD mode = static_cast<WORD>(open->dwFlags);
    return mode == ICMODE_COMPRESS || mode == ICMODE_FASTCOMPRESS;
}

LRESULT open_instance(const LPARAM parameter) {
    auto* open = reinterpret_cast<ICOPEN*>(parameter);
    DWORD handler = 0;
    if (open) {
        // Only video, and only the decompressing side.
        if (open->fccType != ICTYPE_VIDEO || opened_for_compression(open)) {
            open->dwError = ICERR_UNSUPPORTED;
            return 0;
        }
        handler = open->fccHandler;
        open->dwError = ICERR_OK;
    }
    return reinterpret_cast<LRESULT>(new (std::nothrow) Decompressor(handler));
}

LRESULT instance_message(Decompressor* codec, UINT message, LPARAM p1, LPARAM p2) {
    switch (message) {
    case ICM_GETINFO:
        return codec->get_info(reinterpret_cast<ICINFO*>(p1), static_cast<DWORD>(p2));
    case ICM_DECOMPRESS_QUERY:
        return codec->query(reinterpret_cast<const BITMAPINFOHEADER*>(p1),
                            reinterpret_cast<const BITMAPINFOHEADER*>(p2));
    case ICM_DECOMPRESS_GET_FORMAT:
        return codec->get_format(reinterpret_cast<const BITMAPINFOHEADER*>(p1),
                                 reinterpret_cast<BITMAPINFOHEADER*>(p2));
    case ICM_DECOMPRESS_BEGIN:
        return codec->begin(reinterpret_cast<const BITMAPINFOHEADER*>(p1));
    case ICM_DECOMPRESS:
        return codec->decompress(reinterpret_cast<const ICDECOMPRESS*>(p1), static_cast<DWORD>(p2));
    case ICM_DECOMPRESS_END:
        return ICERR_OK;
    default:
        return ICERR_UNSUPPORTED;
    }
}

}  // namespace

}  // namespace vlxcodec

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM p1, LPARAM p2) {
    using vlxcodec::Decompressor;
    switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    case DRV_OPEN:
        return vlxcodec::open_instance(p2);
    case DRV_CLOSE:
        delete reinterpret_cast<Decompressor*>(id);
        return 1;
    case DRV_QUERYCONFIGURE:
        return 0;  // nothing to configure
    default:
        break;
    }
    if (message < DRV_USER) return DefDriverProc(id, driver, message, p1, p2);
    auto* codec = reinterpret_cast<Decompressor*>(id);
    if (!codec) return ICERR_BADHANDLE;
    try {
        return vlxcodec::instance_message(codec, message, p1, p2);
    } catch (...) {  // nothing is thrown across the driver boundary
        return ICERR_MEMORY;
    }
}
