/*
 * A small host: loads vidlox64.dll the way a script host does (LoadLibrary and
 * GetProcAddress), turns the log on into its own buffer and shows what the
 * library sees on this machine.
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "log_summary.h"
#include "vidlox.h"
#include "vidlox_testcam.h"
#include "vidlox_tp_mjpeg.h"

typedef int32_t(__cdecl* fn_void)(void);
typedef int32_t(__cdecl* fn_int)(int32_t);
typedef int32_t(__cdecl* fn_list)(char*, int32_t);
typedef int32_t(__cdecl* fn_log_buffer)(char*, int32_t);
typedef int32_t(__cdecl* fn_open)(int32_t, int32_t, int32_t, intptr_t, intptr_t);
typedef int32_t(__cdecl* fn_place)(int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t(__cdecl* fn_image_mem)(void*, int32_t*, void*);
typedef int32_t(__cdecl* fn_save_bmp)(const char*);
typedef int32_t(__cdecl* fn_save_image)(const wchar_t*, int32_t, int32_t, int32_t, int32_t);
typedef int32_t(__cdecl* fn_text)(char*);
typedef int32_t(__cdecl* fn_three_texts)(char*, char*, char*);
typedef int32_t(__cdecl* fn_owner)(HWND);
typedef int32_t(__cdecl* fn_mix)(HDC, int32_t, int32_t, int32_t, int32_t, float, float, float, float, float, int32_t,
                                 int32_t, int32_t, int32_t);
typedef int32_t(__cdecl* fn_open_encoder)(int32_t, const wchar_t*, int32_t, int32_t, int32_t, int32_t, double, int32_t);
typedef int32_t(__cdecl* fn_write_encoder)(int32_t, const void*, int32_t);

static HMODULE library;

static FARPROC need(const char* name) {
    FARPROC proc = GetProcAddress(library, name);
    if (!proc) {
        fprintf(stderr, "vidlox64.dll has no export %s\n", name);
        exit(2);
    }
    return proc;
}

/* The exports the demo calls, resolved once by load_exports. */
static struct {
    fn_void init, exit_library, version, state, stop, close_slot;
    fn_int set_log_level, device_list_size, codec_list_size, buffer_size, capability_info, image_size;
    fn_log_buffer set_log_buffer;
    fn_list device_list, codec_list;
    fn_open open;
    fn_place play;
    fn_image_mem image_mem;
    fn_save_bmp save_bmp;
    fn_save_image save_image;
    fn_text filter_list;
    fn_three_texts capability_lists;
    fn_owner pin_page;
    fn_mix mix;
    fn_void init_encoder, uninit_encoder, create_encoder;
    fn_open_encoder open_encoder;
    fn_write_encoder write_encoder;
    fn_int close_encoder, delete_encoder;
} vlx;

static void load_exports(void) {
    vlx.init = (fn_void)(void*)need("vlx_Init");
    vlx.exit_library = (fn_void)(void*)need("vlx_Exit");
    vlx.version = (fn_void)(void*)need("vlx_Version");
    vlx.set_log_level = (fn_int)(void*)need("vlx_SetLogLevel");
    vlx.set_log_buffer = (fn_log_buffer)(void*)need("vlx_SetLogBuffer");
    vlx.device_list = (fn_list)(void*)need("vlx_GetDeviceList");
    vlx.device_list_size = (fn_int)(void*)need("vlx_GetDeviceListSize");
    vlx.codec_list = (fn_list)(void*)need("vlx_GetCodecList");
    vlx.codec_list_size = (fn_int)(void*)need("vlx_GetCodecListSize");
    vlx.buffer_size = (fn_int)(void*)need("vlx_GetBufferSize");
    vlx.capability_lists = (fn_three_texts)(void*)need("vlx_GetDevCapConfig");
    vlx.capability_info = (fn_int)(void*)need("vlx_GetCapInfo");
    vlx.filter_list = (fn_text)(void*)need("vlx_StreamFilterList");
    vlx.open = (fn_open)(void*)need("vlx_Open");
    vlx.play = (fn_place)(void*)need("vlx_Play");
    vlx.stop = (fn_void)(void*)need("vlx_Stop");
    vlx.close_slot = (fn_void)(void*)need("vlx_Close");
    vlx.state = (fn_void)(void*)need("vlx_GetState");
    vlx.image_size = (fn_int)(void*)need("vlx_GetImageMemSize");
    vlx.image_mem = (fn_image_mem)(void*)need("vlx_GetImageMem");
    vlx.save_bmp = (fn_save_bmp)(void*)need("vlx_SaveBMP");
    vlx.save_image = (fn_save_image)(void*)need("vlx_SaveImage");
    vlx.mix = (fn_mix)(void*)need("vlx_VMRMixImage");
    vlx.pin_page = (fn_owner)(void*)need("vlx_DevPinProp");
    vlx.init_encoder = (fn_void)(void*)need("vlx_InitEncoder");
    vlx.uninit_encoder = (fn_void)(void*)need("vlx_UnInitEncoder");
    vlx.create_encoder = (fn_void)(void*)need("vlx_CreateEncoder");
    vlx.open_encoder = (fn_open_encoder)(void*)need("vlx_OpenEncoder");
    vlx.write_encoder = (fn_write_encoder)(void*)need("vlx_WriteEncoder");
    vlx.close_encoder = (fn_int)(void*)need("vlx_CloseEncoder");
    vlx.delete_encoder = (fn_int)(void*)need("vlx_DeleteEncoder");
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

/* Position of the test camera in the video device list, or -1. */
static int32_t camera_index(void) {
    static const char name[] = "vidlox Test Camera";
    int32_t needed = vlx.device_list_size(0);
    if (needed <= 0) return -1;
    char* text = calloc((size_t)needed, 1);
    if (!text) return -1;
    vlx.device_list(text, 0);
    int32_t index = 0, found = -1;
    for (char* line = text; *line; ++index) {
        char* end = strstr(line, "\r\n");
        if (!end) break;
        if ((size_t)(end - line) == strlen(name) && strncmp(line, name, strlen(name)) == 0) {
            found = index;
            break;
        }
        line = end + 2;
    }
    free(text);
    return found;
}

/* An empty text in a buffer of the size vlx_GetBufferSize gives for `query`;
 * NULL when it gives none. */
static char* sized_buffer(int32_t query) {
    int32_t needed = vlx.buffer_size(query);
    printf("vlx_GetBufferSize(%d): %d\n", query, needed);
    return needed > 0 ? calloc((size_t)needed, 1) : NULL;
}

static void print_lines(const char* title, const char* text) {
    printf("  %s:", title);
    for (const char* line = text; *line;) {
        const char* end = strstr(line, "\r\n");
        if (!end) break;
        printf(" [%.*s]", (int)(end - line), line);
        line = end + 2;
    }
    printf("\n");
}

/* What the open slot's device offers, and the filters of its graph. */
static void show_capabilities_and_filters(void) {
    static const char* const items[] = {"width", "height", "bit rate", "bit error rate", "time per frame",
                                        "compression"};

    char* rates = sized_buffer(7);
    char* widths = sized_buffer(8);
    char* heights = sized_buffer(9);
    if (rates && widths && heights) {
        printf("vlx_GetDevCapConfig: %d\n", vlx.capability_lists(rates, widths, heights));
        print_lines("frame rates", rates);
        print_lines("widths", widths);
        print_lines("heights", heights);
    }
    free(rates);
    free(widths);
    free(heights);
    for (int32_t item = 0; item < 6; ++item) {
        printf("vlx_GetCapInfo(%d), %s: %d\n", item, items[item], vlx.capability_info(item));
    }

    char* filters = sized_buffer(2);
    if (filters) {
        printf("vlx_StreamFilterList: %d\n", vlx.filter_list(filters));
        print_lines("filters", filters);
    }
    free(filters);
}

static HWND make_preview_window(void) {
    WNDCLASSA window_class = {0};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = "vidlox demo";
    window_class.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    RegisterClassA(&window_class);
    HWND window = CreateWindowA("vidlox demo", "vidlox demo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 700, 540,
                                NULL, NULL, window_class.hInstance, NULL);
    return window;
}

static void pump_for(DWORD milliseconds) {
    DWORD end = GetTickCount() + milliseconds;
    while ((LONG)(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
}

/* The newest frame as the library saves it: snapshot.bmp (vlx_SaveBMP, ANSI
 * path) and snapshot.jpg (vlx_SaveImage, UTF-16 path, JPEG at quality 90). */
static void save_pictures(const char* output_folder) {
    char path[MAX_PATH];
    wchar_t wide_path[MAX_PATH];
    snprintf(path, sizeof path, "%s/snapshot.bmp", output_folder);
    printf("vlx_SaveBMP(%s): %d\n", path, vlx.save_bmp(path));
    snprintf(path, sizeof path, "%s/snapshot.jpg", output_folder);
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, MAX_PATH) > 0)
        printf("vlx_SaveImage(%s, JPEG, 90): %d\n", path, vlx.save_image(wide_path, 1, 90, 0, 0));
}

static void capture(int32_t index, const char* output_folder) {
    HWND window = make_preview_window();
    printf("vlx_Open(device %d, Video Renderer): %d\n", index, vlx.open(index, 0, 0, 0, 0));
    printf("vlx_Play: %d\n", vlx.play((int32_t)(intptr_t)window, 10, 10, 640, 480));
    printf("vlx_GetState: %d\n", vlx.state());
    show_capabilities_and_filters();

    int32_t size = vlx.image_size(0);
    printf("frame size: %d bytes\n", size);
    uint8_t* pixels = size > 0 ? malloc((size_t)size) : NULL;
    BITMAPINFO header = {0};
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    for (int grab = 0; pixels && grab < 10; ++grab) {
        pump_for(100);
        int32_t got = size;
        QueryPerformanceCounter(&before);
        int32_t result = vlx.image_mem(pixels, &got, &header);
        QueryPerformanceCounter(&after);
        double micros = 1e6 * (double)(after.QuadPart - before.QuadPart) / (double)frequency.QuadPart;
        if (result == 0) {
            printf("grab %d: %ldx%ld, %d bytes, frame number %u, %.0f us\n", grab, header.bmiHeader.biWidth,
                   header.bmiHeader.biHeight, got,
                   vlxcam_read_frame_number(pixels, header.bmiHeader.biWidth, header.bmiHeader.biHeight), micros);
        } else {
            printf("grab %d: vlx_GetImageMem %d\n", grab, result);
        }
    }
    if (pixels && header.bmiHeader.biWidth > 0) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s/frame.bmp", output_folder);
        FILE* file = fopen(path, "wb");
        if (file) {
            /* The frame with its header, as a BMP file any viewer opens. */
            BITMAPFILEHEADER file_header = {0};
            file_header.bfType = 0x4D42;
            file_header.bfOffBits = sizeof file_header + sizeof(BITMAPINFOHEADER);
            file_header.bfSize = file_header.bfOffBits + (DWORD)size;
            fwrite(&file_header, sizeof file_header, 1, file);
            fwrite(&header.bmiHeader, sizeof(BITMAPINFOHEADER), 1, file);
            fwrite(pixels, (size_t)size, 1, file);
            fclose(file);
            printf("wrote %s\n", path);
        }
    }
    free(pixels);
    save_pictures(output_folder);
    int32_t stopped = vlx.stop();
    printf("vlx_Stop: %d, vlx_GetState: %d\n", stopped, vlx.state());
    printf("vlx_Close: %d\n", vlx.close_slot());
    DestroyWindow(window);
}

/* With --dialogs: a VMR9 preview with a small bitmap mixed over it, then the
 * device pin's property page, which stays until the user closes it. */
static void show_dialogs(int32_t index) {
    HWND window = make_preview_window();
    printf("vlx_Open(device %d, VMR9): %d\n", index, vlx.open(index, 2, 0, 1 /* VMR9Mode_Windowed */, 1));
    printf("vlx_Play: %d\n", vlx.play((int32_t)(intptr_t)window, 10, 10, 640, 480));
    HDC screen = GetDC(NULL);
    HDC source = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(NULL, screen);
    HGDIOBJ old = SelectObject(source, bitmap);
    RECT all = {0, 0, 64, 64};
    FillRect(source, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    /* Half-transparent white square at the top left; black pixels would be keyed out. */
    printf("vlx_VMRMixImage: %d\n", vlx.mix(source, 0, 0, 64, 64, 0.5f, 0.05f, 0.05f, 0.25f, 0.25f, 1, 0, 0, 0));
    pump_for(500);
    printf("the device pin's property page is open: close it to go on\n");
    fflush(stdout);
    printf("vlx_DevPinProp: %d\n", vlx.pin_page(window));
    printf("vlx_Close: %d\n", vlx.close_slot());
    SelectObject(source, old);
    DeleteObject(bitmap);
    DeleteDC(source);
    DestroyWindow(window);
}

static long file_size(const wchar_t* path) {
    FILE* file = _wfopen(path, L"rb");
    if (!file) return -1;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fclose(file);
    return size;
}

/* Two seconds of AVI through the test platform's compressor, and the frames
 * grabbed meanwhile encoded into an MP4 (H.264) by the encoder. */
static void record_files(int32_t index, const char* output_folder) {
    wchar_t avi[MAX_PATH], mp4[MAX_PATH];
    swprintf(avi, MAX_PATH, L"%hs/demo-mjpeg.avi", output_folder);
    swprintf(mp4, MAX_PATH, L"%hs/demo-grabs.mp4", output_folder);
    HWND window = make_preview_window();
    printf("vlx_Open(device %d, AVI through \"%ls\"): %d\n", index, VLXTP_MJPEG_NAME,
           vlx.open(index, 300, 0, (intptr_t)avi, (intptr_t)VLXTP_MJPEG_NAME));
    printf("vlx_Play: %d\n", vlx.play((int32_t)(intptr_t)window, 10, 10, 640, 480));
    printf("vlx_InitEncoder: 0x%x\n", (unsigned)vlx.init_encoder());
    int32_t encoder = vlx.create_encoder();
    int32_t frame_size = vlx.image_size(0);
    uint8_t* pixels = frame_size > 0 ? malloc((size_t)frame_size) : NULL;
    int32_t opened = -1, written = 0;
    for (int grab = 0; pixels && grab < 20; ++grab) {
        pump_for(100);
        int32_t size = frame_size;
        BITMAPINFO header = {0};
        if (vlx.image_mem(pixels, &size, &header) != 0) continue;
        const BITMAPINFOHEADER* bmi = &header.bmiHeader;
        if (opened < 0) {
            /* The encoder takes the frames as the grabber delivers them. */
            opened = vlx.open_encoder(encoder, mp4, 2, bmi->biWidth, labs(bmi->biHeight), 24, 10.0, 2000000);
            printf("vlx_OpenEncoder(H.264 Main, %ldx%ld, 10 fps): %d\n", bmi->biWidth, labs(bmi->biHeight), opened);
            if (opened != 0) break;
        }
        /* Bottom-up rows go as they are; top-down ones are turned over. */
        if (vlx.write_encoder(encoder, pixels, bmi->biHeight < 0) == 0) ++written;
    }
    free(pixels);
    int32_t stopped = vlx.stop();
    printf("vlx_Stop: %d, vlx_Close: %d\n", stopped, vlx.close_slot());
    int32_t closed = vlx.close_encoder(encoder), deleted = vlx.delete_encoder(encoder);
    printf("vlx_CloseEncoder: %d, vlx_DeleteEncoder: %d, vlx_UnInitEncoder: 0x%x\n", closed, deleted,
           (unsigned)vlx.uninit_encoder());
    printf("wrote %ls (%ld bytes, about 2 s of Motion JPEG)\n", avi, file_size(avi));
    printf("wrote %ls (%ld bytes, %d grabbed frames)\n", mp4, file_size(mp4), written);
    DestroyWindow(window);
}

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "vidlox64.dll";
    const char* output_folder = argc > 2 ? argv[2] : ".";
    library = LoadLibraryA(path);
    if (!library) {
        fprintf(stderr, "cannot load %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    load_exports();

    /* Room for every line the demo's calls log at level 2. */
    static char log_text[1 << 20];
    vlx.set_log_buffer(log_text, (int32_t)sizeof log_text);
    vlx.set_log_level(2);

    printf("vidlox version %d\n", vlx.version());
    printf("vlx_Init: %d\n", vlx.init());

    show_list("video capture devices", vlx.device_list, vlx.device_list_size, 0);
    show_list("audio capture devices", vlx.device_list, vlx.device_list_size, 1);
    show_list("video compressors", vlx.codec_list, vlx.codec_list_size, 0);
    show_list("audio compressors", vlx.codec_list, vlx.codec_list_size, 1);

    int32_t index = camera_index();
    if (index < 0) {
        printf("no \"vidlox Test Camera\" registered: nothing to capture\n");
    } else {
        capture(index, output_folder);
        if (argc > 3 && strcmp(argv[3], "--dialogs") == 0) show_dialogs(index);
        record_files(index, output_folder);
    }

    printf("vlx_Exit: %d\n", vlx.exit_library());
    char log_path[MAX_PATH];
    snprintf(log_path, sizeof log_path, "%s/vidlox.log", output_folder);
    show_log_summary(log_text, sizeof log_text, log_path);
    vlx.set_log_buffer(NULL, 0);
    FreeLibrary(library);
    return 0;
}
