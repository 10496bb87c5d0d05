// The frames an AVI file stores, counted after recording.
#pragma once

#include <cstdint>
#include <string>

namespace tool {

// The pictures of the file's first stream: its data chunks ('00dc', '00db')
// that hold bytes, in every RIFF chunk of the file ('AVI ' and the OpenDML
// 'AVIX' that follow past 1 GB). The headers' frame counts are not it: an
// AVI mux writes an empty index entry for each frame the source skipped
// (a gap in the time stamps), which keeps the file's timing but stores no
// picture, and the headers count those too. -1 when the file cannot be
// read or is not an AVI file.
int64_t avi_frame_count(const std::wstring& file);

}  // namespace tool
