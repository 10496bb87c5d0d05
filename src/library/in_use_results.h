// Whether a device's failure to start is one Windows gives for a capture
// device that another program holds (camera or microphone): the
// kernel-streaming proxy cannot acquire the pin's resources, or the driver
// says so itself.
#pragma once

#include <windows.h>

namespace vlx {

bool means_in_use(HRESULT result);

}  // namespace vlx
