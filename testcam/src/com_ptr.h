// The camera uses the library's own COM holders.
#pragma once

#include "common/com_ptr.h"
#include "common/media_type.h"

namespace vlxcam {
using vlx::ComPtr;
using vlx::MediaType;
}  // namespace vlxcam
