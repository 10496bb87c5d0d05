// The frame count an AVI file's headers declare, read back after recording.
#pragma once

#include <cstdint>
#include <string>

namespace tool {

// The OpenDML total ('dmlh', whole file) when present, else the main header's
// dwTotalFrames ('avih'); -1 when the file cannot be read or has neither.
int64_t avi_frame_count(const std::wstring& file);

}  // namespace tool
