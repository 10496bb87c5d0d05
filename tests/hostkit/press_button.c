/* press_button.exe PATH: presses the button of the test camera device PATH
 * (its DevicePath, or its moniker's display name as `vidlox devices --paths`
 * prints it) through vlxcam_PressButton, from a process of its own as a
 * finger on the camera would: again every 100 ms while no program streams
 * the device yet, for up to 30 s. Exit status 0 pressed, 1 not. */
#include <stdint.h>
#include <stdio.h>
#include <windows.h>

typedef int32_t(__cdecl* PressButton)(const wchar_t* device_path);

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fputs("usage: press_button PATH\n", stderr);
        return 2;
    }
    HMODULE camera = LoadLibraryW(L"vidlox-testcam64.dll");
    PressButton press = camera ? (PressButton)(void*)GetProcAddress(camera, "vlxcam_PressButton") : NULL;
    if (!press) {
        fputs("press_button: vidlox-testcam64.dll has no vlxcam_PressButton\n", stderr);
        return 1;
    }
    int32_t pressed = 1;
    for (int attempt = 0; attempt < 300 && pressed == 1; ++attempt) {
        pressed = press(argv[1]);
        if (pressed == 1) Sleep(100);
    }
    printf("vlxcam_PressButton answered %d\n", (int)pressed);
    return pressed == 0 ? 0 : 1;
}
