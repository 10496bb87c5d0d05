/*
 * A host that blends a bitmap over a running VMR9 preview through
 * vidlox64.dll, calling vlx_VMRMixImage exactly as a script host does:
 * resolved with GetProcAddress, its five floats passed by value.
 *
 *   mix_trace_host <13 numbers> [<13 numbers> ...]
 *
 * Each group of 13 is one call: source left, top, right, bottom, alpha,
 * destination left, top, right, bottom, use_color_key, key red, green, blue.
 * The preview is the "vidlox Test Camera" in a hidden window; the source
 * device context is the host's own. Prints "hdc <hex>" and then
 * "result <code>" per call on stdout; exits non-zero when the preview cannot
 * be started. Run with WINEDEBUG=trace+quartz, Wine's VMR9 traces every
 * field of the bitmap description it received (tests/check_mix_trace.py).
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

typedef int32_t(__cdecl* fn_void)(void);
typedef int32_t(__cdecl* fn_list)(char*, int32_t);
typedef int32_t(__cdecl* fn_int)(int32_t);
typedef int32_t(__cdecl* fn_open)(int32_t, int32_t, int32_t, intptr_t, intptr_t);
typedef int32_t(__cdecl* fn_play)(int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t(__cdecl* fn_mix)(HDC, int32_t, int32_t, int32_t, int32_t, float, float, float, float, float, int32_t,
                                 int32_t, int32_t, int32_t);

static FARPROC need(HMODULE library, const char* name) {
    FARPROC proc = GetProcAddress(library, name);
    if (!proc) {
        fprintf(stderr, "vidlox64.dll has no export %s\n", name);
        exit(2);
    }
    return proc;
}

/* Position of the test camera in the video device list, or -1. */
static int32_t camera_index(HMODULE library) {
    static const char name[] = "vidlox Test Camera";
    fn_int list_size = (fn_int)(void*)need(library, "vlx_GetDeviceListSize");
    fn_list list = (fn_list)(void*)need(library, "vlx_GetDeviceList");
    int32_t size = list_size(0);
    char* text = size > 0 ? calloc((size_t)size, 1) : NULL;
    if (!text) return -1;
    list(text, 0);
    int32_t index = 0, found = -1;
    for (char* line = text; *line && found < 0; ++index) {
        char* end = strstr(line, "\r\n");
        if (!end) break;
        if ((size_t)(end - line) == strlen(name) && strncmp(line, name, strlen(name)) == 0) found = index;
        line = end + 2;
    }
    free(text);
    return found;
}

int main(int argc, char** argv) {
    if (argc < 14 || (argc - 1) % 13 != 0) {
        fprintf(stderr, "usage: mix_trace_host <13 numbers>...\n");
        return 2;
    }
    HMODULE library = LoadLibraryA("vidlox64.dll");
    if (!library) return 2;
    fn_void init = (fn_void)(void*)need(library, "vlx_Init");
    fn_void exit_library = (fn_void)(void*)need(library, "vlx_Exit");
    fn_open open = (fn_open)(void*)need(library, "vlx_Open");
    fn_play play = (fn_play)(void*)need(library, "vlx_Play");
    fn_void close_slot = (fn_void)(void*)need(library, "vlx_Close");
    fn_mix mix = (fn_mix)(void*)need(library, "vlx_VMRMixImage");

    /* A hidden owner keeps the VMR9 window out of sight. */
    HWND owner = CreateWindowA("STATIC", "mix trace host", WS_OVERLAPPEDWINDOW, 0, 0, 160, 120, NULL, NULL,
                               GetModuleHandleA(NULL), NULL);
    HDC source = CreateCompatibleDC(NULL);
    HBITMAP bitmap = CreateCompatibleBitmap(source, 32, 32);
    SelectObject(source, bitmap);

    init();
    int32_t opened = open(camera_index(library), 2, 0, 1 /* VMR9Mode_Windowed */, 1);
    int32_t played = opened == 0 ? play((int32_t)(intptr_t)owner, 0, 0, 64, 48) : -100;
    if (opened != 0 || played < 0) {
        fprintf(stderr, "vlx_Open %d, vlx_Play %d\n", opened, played);
        return 1;
    }
    printf("hdc %llx\n", (unsigned long long)(uintptr_t)source);
    for (int at = 1; at + 13 <= argc; at += 13) {
        char** a = argv + at;
        int32_t result = mix(source, atoi(a[0]), atoi(a[1]), atoi(a[2]), atoi(a[3]), strtof(a[4], NULL),
                             strtof(a[5], NULL), strtof(a[6], NULL), strtof(a[7], NULL), strtof(a[8], NULL),
                             atoi(a[9]), (int32_t)strtol(a[10], NULL, 0), (int32_t)strtol(a[11], NULL, 0),
                             (int32_t)strtol(a[12], NULL, 0));
        printf("result %d\n", result);
    }
    fflush(stdout);
    close_slot();
    exit_library();
    DeleteDC(source);
    DeleteObject(bitmap);
    DestroyWindow(owner);
    return 0;
}
