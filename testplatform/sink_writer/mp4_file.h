// An MP4 (ISO base media) file with one H.264 video track: 'ftyp', then an
// 'mdat' that grows with every sample, then 'moov' written by finish().
// Times are in 100-nanosecond units, the track's time scale.
#pragma once

#include "common/file_handle.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vlxtp {

struct TrackFormat {
    int32_t width = 0, height = 0;
    int profile = 0, level = 0;
    std::vector<uint8_t> sps, pps;  // NAL units
};

class Mp4File {
public:
    Mp4File() = default;
    Mp4File(const Mp4File&) = delete;
    Mp4File& operator=(const Mp4File&) = delete;

    // Creates (or empties) the file.
    HRESULT create(const std::wstring& path);
    // 'ftyp' and the head of 'mdat'.
    HRESULT begin();
    // One sample of length-prefixed NAL units.
    HRESULT add_sample(const std::vector<uint8_t>& nal, int64_t time, int64_t duration);
    // 'moov' with the sample tables, the 'mdat' size, and the file closed
    // (a failed close fails too: the file may not hold what was written).
    HRESULT finish(const TrackFormat& format);

private:
    HRESULT write(const std::vector<uint8_t>& bytes);

    HANDLE handle() const { return file_ ? file_->get() : INVALID_HANDLE_VALUE; }

    std::optional<vlx::FileHandle> file_;  // from create() on
    uint64_t position_ = 0;
    uint64_t mdat_start_ = 0;
    std::vector<uint64_t> offsets_;
    std::vector<uint32_t> sizes_;
    std::vector<int64_t> times_, durations_;
};

}  // namespace vlxtp
