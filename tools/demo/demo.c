/*
 * A small host: loads vidlox64.dll the way a script host does (LoadLibrary and
 * GetProcAddress), turns the log on into its own buffer and shows what the
 * library sees on this machine.
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "vidlox.h"

typedef int32_t(__cdecl* fn_void)(void);
typedef int32_t(__cdecl* fn_int)(int32_t);
typedef int32_t(__cdecl* fn_list)(char*, int32_t);
typedef int32_t(__cdecl* fn_log_buffer)(char*, int32_t);

static HMODULE library;

static FARPROC need(const char* name) {
    FARPROC proc = GetProcAddress(library, name);
    if (!proc) {
        fprintf(stderr, "vidlox64.dll has no export %s\n", name);
        exit(2);
    }
    return proc;
}

static void show_list(const char* title, fn_list list, fn_int size, int32_t kind) {
    int32_t needed = size(kind);
    printf("%s: size query %d\n", title, needed);
    if (needed <= 0) return;
    char* text = calloc((size_t)needed, 1);
    if (!text) return;
    int32_t count = list(text, kind);
    printf("  %d name(s), %u bytes\n", count, (unsigned)strlen(text));
    for (char* line = strtok(text, "\r\n"); line; line = strtok(NULL, "\r\n")) printf("  - %s\n", line);
    free(text);
}

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "vidlox64.dll";
    library = LoadLibraryA(path);
    if (!library) {
        fprintf(stderr, "cannot load %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    fn_void init = (fn_void)(void*)need("vlx_Init");
    fn_void exit_library = (fn_void)(void*)need("vlx_Exit");
    fn_void version = (fn_void)(void*)need("vlx_Version");
    fn_int set_log_level = (fn_int)(void*)need("vlx_SetLogLevel");
    fn_log_buffer set_log_buffer = (fn_log_buffer)(void*)need("vlx_SetLogBuffer");
    fn_list device_list = (fn_list)(void*)need("vlx_GetDeviceList");
    fn_int device_list_size = (fn_int)(void*)need("vlx_GetDeviceListSize");
    fn_list codec_list = (fn_list)(void*)need("vlx_GetCodecList");
    fn_int codec_list_size = (fn_int)(void*)need("vlx_GetCodecListSize");

    static char log_text[16384];
    set_log_buffer(log_text, (int32_t)sizeof log_text);
    set_log_level(2);

    printf("vidlox version %d\n", version());
    printf("vlx_Init: %d\n", init());

    show_list("video capture devices", device_list, device_list_size, 0);
    show_list("audio capture devices", device_list, device_list_size, 1);
    show_list("video compressors", codec_list, codec_list_size, 0);
    show_list("audio compressors", codec_list, codec_list_size, 1);

    printf("vlx_Exit: %d\n", exit_library());
    printf("log:\n%s", log_text);
    set_log_buffer(NULL, 0);
    FreeLibrary(library);
    return 0;
}
