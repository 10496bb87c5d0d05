// The AVI file the test platform's AVI Mux writes when a stream Wine's mux
// refuses (audio) is connected: an OpenDML file as Windows' AVI Mux writes
// them, so that Windows players, FFmpeg and the tools here read it.
//
//   RIFF 'AVI '  LIST 'hdrl' (avih; per stream LIST 'strl' with strh, strf
//                and an 'indx' super index; LIST 'odml' with dmlh)
//                LIST 'movi' (chunks '00db' / '00dc' video, '01wb' audio,
//                then one 'ix##' standard index per stream) and 'idx1'
//   RIFF 'AVIX'  LIST 'movi' (chunks, then the 'ix##' of this part) ...
//
// No RIFF part grows past kRiffLimit bytes (1 GiB, as Windows' mux and
// FFmpeg's keep them): a file past it goes on in 'AVIX' parts, every stream
// indexed in each. The 'idx1' index (compatibility with readers that know
// no OpenDML) covers the first part, as on Windows. A dropped video frame
// is an empty chunk: players show the frame before it again.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <strmif.h>

#include <cstdint>
#include <vector>

namespace vlxtp {

// What the file says of one stream, from its connection's media type.
struct AviStreamFormat {
    bool audio = false;
    DWORD handler = 0;         // video: biCompression
    std::vector<BYTE> format;  // 'strf': BITMAPINFOHEADER, or WAVEFORMATEX with its extra bytes
    // The time of one sample: a video frame (AvgTimePerFrame in 100 ns) or an
    // audio block (nBlockAlign bytes out of nAvgBytesPerSec).
    DWORD scale = 1;
    DWORD rate = 1;
    DWORD sample_size = 0;  // audio: nBlockAlign; video: 0 (one frame a chunk)
    LONG width = 0;
    LONG height = 0;
};

// The stream format of a connection the mux takes: FORMAT_VideoInfo or
// FORMAT_VideoInfo2 video, FORMAT_WaveFormatEx audio (PCM or what an audio
// compressor gives). False for anything else.
bool avi_stream_format(const AM_MEDIA_TYPE& type, AviStreamFormat& format);

class AviWriter {
public:
    static constexpr ULONGLONG kRiffLimit = 1ull << 30;

    // `file` is written and sought from offset 0; the caller keeps it alive.
    AviWriter(IStream* file, std::vector<AviStreamFormat> streams, bool old_index);

    // Appends a chunk of `stream`: `size` bytes at `data` (0: a dropped
    // frame). The first call reserves the headers.
    HRESULT write(size_t stream, const BYTE* data, DWORD size, bool key_frame);
    // Each stream's time base as the headers will state it (the mux's master
    // stream moves the others').
    void set_time_base(size_t stream, DWORD scale, DWORD rate);
    // Indexes and headers; the file is complete afterwards.
    HRESULT finish();

    // Samples (video frames with the dropped ones, audio blocks) written so far.
    uint64_t samples(size_t stream) const { return streams_[stream].samples; }

private:
    struct Entry {
        ULONGLONG data_offset;  // of the chunk's data, after its 8-byte header
        DWORD size;
        bool key;
    };
    struct Part {  // one 'ix##' standard index, as the super index lists it
        ULONGLONG offset;
        DWORD size;
        DWORD duration;
    };
    struct Stream {
        AviStreamFormat format;
        DWORD chunk_id = 0;
        std::vector<Entry> entries;  // of the RIFF part being written
        std::vector<Part> parts;
        uint64_t samples = 0;
        uint64_t bytes = 0;
        DWORD largest_chunk = 0;
    };
    struct OldIndexEntry {
        DWORD chunk_id, flags, offset, size;
    };

    HRESULT begin();
    HRESULT end_part();
    HRESULT begin_part();
    ULONGLONG index_bytes_after(size_t stream) const;
    HRESULT put(const void* data, size_t size);
    HRESULT seek(ULONGLONG offset);
    std::vector<BYTE> headers() const;
    size_t headers_size() const;

    IStream* file_;
    std::vector<Stream> streams_;
    bool old_index_;
    bool begun_ = false;
    bool failed_ = false;
    ULONGLONG position_ = 0;
    ULONGLONG riff_start_ = 0;  // of the RIFF part being written
    ULONGLONG movi_start_ = 0;  // of its LIST 'movi'
    bool first_part_ = true;
    ULONGLONG first_riff_size_ = 0;
    ULONGLONG first_movi_size_ = 0;
    uint64_t first_part_frames_ = 0;  // video frames in the first RIFF part
    std::vector<OldIndexEntry> old_index_entries_;
};

}  // namespace vlxtp
