// The sound exports, found in the loaded vidlox64.dll as a host finds them,
// and the test microphone's place in the audio list.
#pragma once

#include "dll/host_library.h"
#include "support/text_lines.h"
#include "vidlox_testcam.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace vlx_test {

struct Sound {
    decltype(&vlx_SetAudioDevice) SetAudioDevice;
    decltype(&vlx_SetAudioDevicePath) SetAudioDevicePath;
    decltype(&vlx_GetAudioFormatList) GetAudioFormatList;
    decltype(&vlx_GetAudioFormatListSize) GetAudioFormatListSize;
    decltype(&vlx_SetAudioFormat) SetAudioFormat;
    decltype(&vlx_GetAudioFormat) GetAudioFormat;
    decltype(&vlx_WaitAudio) WaitAudio;
    decltype(&vlx_GetAudio) GetAudio;
    decltype(&vlx_SetAudioNotify) SetAudioNotify;
};

inline const Sound& sound() {
    static const Sound loaded = [] {
        vidlox();  // loads the library
        const HMODULE module = GetModuleHandleW(L"vidlox64.dll");
        auto find = [&](const char* name) {
            FARPROC found = GetProcAddress(module, name);
            if (!found) std::abort();
            return reinterpret_cast<void*>(found);
        };
        Sound s;
        s.SetAudioDevice = reinterpret_cast<decltype(s.SetAudioDevice)>(find("vlx_SetAudioDevice"));
        s.SetAudioDevicePath = reinterpret_cast<decltype(s.SetAudioDevicePath)>(find("vlx_SetAudioDevicePath"));
        s.GetAudioFormatList = reinterpret_cast<decltype(s.GetAudioFormatList)>(find("vlx_GetAudioFormatList"));
        s.GetAudioFormatListSize = reinterpret_cast<decltype(s.GetAudioFormatListSize)>(find("vlx_GetAudioFormatListSize"));
        s.SetAudioFormat = reinterpret_cast<decltype(s.SetAudioFormat)>(find("vlx_SetAudioFormat"));
        s.GetAudioFormat = reinterpret_cast<decltype(s.GetAudioFormat)>(find("vlx_GetAudioFormat"));
        s.WaitAudio = reinterpret_cast<decltype(s.WaitAudio)>(find("vlx_WaitAudio"));
        s.GetAudio = reinterpret_cast<decltype(s.GetAudio)>(find("vlx_GetAudio"));
        s.SetAudioNotify = reinterpret_cast<decltype(s.SetAudioNotify)>(find("vlx_SetAudioNotify"));
        return s;
    }();
    return loaded;
}

// Position of the audio device `name` in vlx_GetDeviceList(kind 1), or -1.
inline int32_t audio_device_index(const wchar_t* name) {
    const int32_t size = vidlox().GetDeviceListSize(1);
    if (size <= 0) return -1;
    std::vector<char> text(static_cast<size_t>(size), '\0');
    if (vidlox().GetDeviceList(text.data(), 1) < 0) return -1;
    const std::vector<std::string> names = split_lines(text.data());
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == utf8(name)) return static_cast<int32_t>(i);
    }
    return -1;
}

}  // namespace vlx_test
