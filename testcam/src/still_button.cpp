// vlxcam_PressButton: the snapshot button on the case of a camera with a
// still pin. A press is the device's, seen by whichever program streams it
// (still_stream.h), so the test export reaches other processes too: the
// command-line tool waiting for the button is pressed from a test.
#include "profiles.h"
#include "still_stream.h"
#include "vidlox_testcam.h"

#include <windows.h>

extern "C" int32_t __cdecl vlxcam_PressButton(const wchar_t* device_path) {
    const vlxcam::DeviceProfile* profile = vlxcam::find_profile_by_listed_path(device_path);
    if (!profile) return -1;
    if (profile->stills == vlxcam::Stills::none) return -2;
    std::wstring name;
    try {
        name = vlxcam::button_event_name(profile->clsid);
    } catch (...) {
        return -3;
    }
    // Only a streaming instance holds the event open: none, and the press
    // reaches nobody.
    const HANDLE button = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    if (!button) return 1;
    const BOOL pressed = SetEvent(button);
    CloseHandle(button);
    return pressed ? 0 : -3;
}
