// The tool's commands; each answers the process exit code.
#pragma once

#include "command_line.h"

namespace tool {

// vlx_Open's render modes that the commands use (include/vidlox.h, vlx_Open).
constexpr int render_vmr7 = 1;
constexpr int render_vmr9 = 2;
constexpr int render_null_renderer = 6;
constexpr int render_avi_file = 300;
constexpr int render_avi_file_no_preview_renderer = 301;

int devices_command(const CommandLine& line);
int codecs_command(const CommandLine& line);
int caps_command(const CommandLine& line);
int filters_command(const CommandLine& line);
int snap_command(const CommandLine& line);
int record_command(const CommandLine& line);
int encode_command(const CommandLine& line);
int formats_command(const CommandLine& line);
int controls_command(const CommandLine& line);
int control_command(const CommandLine& line);
int watch_command(const CommandLine& line);
int share_command(const CommandLine& line);
int profile_command(const CommandLine& line);
int still_command(const CommandLine& line);
int audio_formats_command(const CommandLine& line);
int listen_command(const CommandLine& line);

}  // namespace tool
