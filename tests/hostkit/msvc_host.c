/*
 * A host built the MSVC way: compiled by clang for x86_64-pc-windows-msvc and
 * linked by lld-link with /nodefaultlib against vidlox64.lib and nothing else
 * (no C runtime, no kernel32 import library). It runs under Wine and calls the
 * DLL; its exit code is 0, or the number of the step that went wrong.
 */
#include "vidlox.h"

/* Compilers for this target emit a reference to _fltused when a program uses
 * floating point; the C runtime normally defines it. */
int _fltused = 0;

#define CAMERA_NAME "vidlox Test Camera"

static char devices[16384];
static unsigned char frame[1920 * 1080 * 3];
static BITMAPINFO frame_header;

/* Position of the line that equals `name` in a CR LF name list, or -1. */
static int32_t line_index(const char* list, const char* name) {
    int32_t index = 0;
    const char* line = list;
    while (*line) {
        const char* a = line;
        const char* b = name;
        while (*b && *a == *b) ++a, ++b;
        if (!*b && a[0] == '\r' && a[1] == '\n') return index;
        while (*line && *line != '\n') ++line;
        if (*line) ++line;
        ++index;
    }
    return -1;
}

int __cdecl mainCRTStartup(void) {
    int32_t camera, size, result = -7;
    long spins;

    if (vlx_Version() != VLX_VERSION) return 1;
    if (vlx_Init() != 0) return 2;

    size = vlx_GetDeviceListSize(0);
    if (size <= 0 || size > (int32_t)sizeof devices) return 3;
    if (vlx_GetDeviceList(devices, 0) <= 0) return 4;
    camera = line_index(devices, CAMERA_NAME);
    if (camera < 0) return 5;

    /* The test camera through the Null Renderer, grabbed like any host grabs. */
    if (vlx_SetActiveSel(0) != 0) return 6;
    if (vlx_Open(camera, 6, 0, 0, 0) != 0) return 7;
    if (vlx_Play2() < 0) return 8;
    size = vlx_GetImageMemSize(0);
    if (size != 640 * 480 * 3) return 9;
    /* No Sleep without kernel32: poll, bounded. */
    for (spins = 0; spins < 20000000 && result == -7; ++spins) {
        size = (int32_t)sizeof frame;
        result = vlx_GetImageMem(frame, &size, &frame_header);
    }
    if (result != 0 || frame_header.bmiHeader.biWidth != 640 || frame_header.bmiHeader.biBitCount != 24) return 10;
    /* Bottom-up rows: the first pixel is the bottom-left corner, pure blue. */
    if (frame[0] < 200 || frame[1] > 50 || frame[2] > 50) return 11;
    if (vlx_Stop() != 0 || vlx_Close() != 0) return 12;
    if (vlx_Exit() != 0) return 13;

    /* A double and two integers passed on the stack: a frame rate of 0 is
     * refused with -7, a good one passes to the codec check, whose -10 for
     * codec 4 comes before any file is created. */
    {
        int32_t encoder;
        if (vlx_InitEncoder() < 0) return 14;
        encoder = vlx_CreateEncoder();
        if (encoder < 0) return 15;
        if (vlx_OpenEncoder(encoder, L"never-written.mp4", 2, 64, 48, 24, 0.0, 100000) != -7) return 16;
        if (vlx_OpenEncoder(encoder, L"never-written.mp4", 4, 64, 48, 24, 30.0, 100000) != -10) return 17;
        if (vlx_OpenEncoder(encoder, L"never-written.mp4", 2, 64, 48, 0, 30.0, 100000) != -2) return 18;
        if (vlx_DeleteEncoder(encoder) != 0) return 19;
        vlx_UnInitEncoder();
    }
    return 0;
}
