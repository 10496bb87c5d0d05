// The frame count an AVI file's headers declare, read back after recording.
#pragma once

#include <cstdint>
#include <string>

namespace tool {

// The main header's dwTotalFrames ('avih'), or for a file larger than its
// first RIFF chunk the OpenDML total ('dmlh'); -1 when the file cannot be
// read or is not an AVI file.
int64_t avi_frame_count(const std::wstring& file);

// Seconds of sound in the AVI file: its 'auds' stream header's length, or
// -1 when it has none.
double avi_audio_seconds(const std::wstring& file);

}  // namespace tool
