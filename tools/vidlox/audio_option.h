// The microphone of a command: MIC (an index from "vidlox devices", an
// audio device's exact name or path) and --audio-format RATE,CHANNELS,BITS.
#pragma once

#include "command_line.h"

#include <cstdint>
#include <string>

namespace tool {

// vlx_SetAudioDevice (or vlx_SetAudioDevicePath) for MIC, then, with
// --audio-format, vlx_SetAudioFormat, for slot 0's next vlx_Open; the library
// initialised. Answers the exit code; `name` receives the device's name.
int choose_microphone(const std::string& mic, const CommandLine& line, std::string& name);

// The audio format in force on slot 0, as "48000 Hz, 2 channels, 16 bits".
std::string audio_format_text();

}  // namespace tool
