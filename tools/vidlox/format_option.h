// --format SUBTYPE:WxH@FPS [--nearest]: the capture format a command asks
// for before it opens the device, and the format in force after.
#pragma once

#include "capture_session.h"
#include "command_line.h"

namespace tool {

// Stores the request of --format (if given) in slot 0 with vlx_SetDevSubtype,
// vlx_SetDevWidth/Height/FrameRate and vlx_SetDevFormatChoice: exact, or
// nearest with --nearest. Answers an exit code (2 for a wrong --format).
int request_format_option(const CommandLine& line);

// CaptureSession::open with the format step explained: when vlx_Open refused
// the requested format, says so in the tool's words; after an open with
// --format, prints the format in force.
int open_with_format(CaptureSession& session, const CommandLine& line, int32_t render_mode, intptr_t param1 = 0,
                     intptr_t param2 = 0);

}  // namespace tool
