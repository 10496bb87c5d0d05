#include "avi_writer.h"

#include <dshow.h>
#include <aviriff.h>
#include <dvdmedia.h>
#include <mmreg.h>

#include <algorithm>
#include <cstring>

namespace vlxtp {

namespace {

constexpr size_t kWritePiece = 64 * 1024;

// Room for this many 'ix##' parts a stream (a part per GiB of file).
constexpr size_t kSuperIndexEntries = 256;

constexpr DWORD fourcc(const char (&text)[5]) {
    return static_cast<DWORD>(static_cast<unsigned char>(text[0])) |
           static_cast<DWORD>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<DWORD>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<DWORD>(static_cast<unsigned char>(text[3])) << 24;
}

// '00db', '01wb', 'ix00': two decimal digits of the stream, then two letters.
DWORD numbered(size_t stream, char a, char b) {
    const char text[5] = {static_cast<char>('0' + stream / 10 % 10), static_cast<char>('0' + stream % 10), a, b, 0};
    return fourcc(text);
}
DWORD index_id(size_t stream) {
    const char text[5] = {'i', 'x', static_cast<char>('0' + stream / 10 % 10), static_cast<char>('0' + stream % 10), 0};
    return fourcc(text);
}

constexpr size_t even(size_t size) { return size + (size & 1); }

// Little-endian fields, appended.
class Bytes {
public:
    void u8(BYTE value) { bytes_.push_back(value); }
    void u16(WORD value) {
        u8(static_cast<BYTE>(value));
        u8(static_cast<BYTE>(value >> 8));
    }
    void u32(DWORD value) {
        u16(static_cast<WORD>(value));
        u16(static_cast<WORD>(value >> 16));
    }
    void u64(ULONGLONG value) {
        u32(static_cast<DWORD>(value));
        u32(static_cast<DWORD>(value >> 32));
    }
    void zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void raw(const std::vector<BYTE>& data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    std::vector<BYTE>& get() { return bytes_; }

private:
    std::vector<BYTE> bytes_;
};

DWORD low32(ULONGLONG value) { return static_cast<DWORD>(std::min<ULONGLONG>(value, 0xffffffffu)); }

}  // namespace

bool avi_stream_format(const AM_MEDIA_TYPE& type, AviStreamFormat& format) {
    format = AviStreamFormat{};
    if (IsEqualGUID(type.majortype, MEDIATYPE_Audio)) {
        if (!IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) || !type.pbFormat ||
            type.cbFormat < sizeof(WAVEFORMAT))
            return false;
        WAVEFORMATEX wave{};
        std::memcpy(&wave, type.pbFormat, std::min<size_t>(type.cbFormat, sizeof wave));
        if (wave.nBlockAlign == 0 || wave.nAvgBytesPerSec == 0) return false;
        format.audio = true;
        format.format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
        if (type.cbFormat < sizeof(WAVEFORMATEX)) format.format.resize(sizeof(WAVEFORMATEX), 0);  // cbSize 0
        format.scale = wave.nBlockAlign;
        format.rate = wave.nAvgBytesPerSec;
        format.sample_size = wave.nBlockAlign;
        return true;
    }
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || !type.pbFormat) return false;
    const BITMAPINFOHEADER* bitmap = nullptr;
    REFERENCE_TIME frame_time = 0;
    if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
        bitmap = &info->bmiHeader;
        frame_time = info->AvgTimePerFrame;
    } else if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2) && type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat);
        bitmap = &info->bmiHeader;
        frame_time = info->AvgTimePerFrame;
    } else {
        return false;
    }
    const auto* first = reinterpret_cast<const BYTE*>(bitmap);
    const size_t bitmap_bytes = std::max<size_t>(bitmap->biSize, sizeof(BITMAPINFOHEADER));
    if (first + bitmap_bytes > type.pbFormat + type.cbFormat) return false;
    format.format.assign(first, first + bitmap_bytes);
    format.handler = bitmap->biCompression;
    // A camera that states no rate is written at 30 frames a second.
    format.scale = frame_time > 0 && frame_time <= 0xffffffff ? static_cast<DWORD>(frame_time) : 333333;
    format.rate = 10000000;
    format.width = bitmap->biWidth;
    format.height = bitmap->biHeight < 0 ? -bitmap->biHeight : bitmap->biHeight;
    return true;
}

AviWriter::AviWriter(IStream* file, std::vector<AviStreamFormat> streams, bool old_index)
    : file_(file), old_index_(old_index) {
    for (size_t i = 0; i < streams.size(); ++i) {
        Stream stream;
        stream.format = std::move(streams[i]);
        const bool compressed = stream.format.handler != BI_RGB && stream.format.handler != BI_BITFIELDS;
        stream.chunk_id = stream.format.audio ? numbered(i, 'w', 'b') : numbered(i, 'd', compressed ? 'c' : 'b');
        streams_.push_back(std::move(stream));
    }
}

void AviWriter::set_time_base(size_t stream, DWORD scale, DWORD rate) {
    streams_[stream].format.scale = scale;
    streams_[stream].format.rate = rate;
}

HRESULT AviWriter::put(const void* data, size_t size) {
    if (failed_) return E_FAIL;
    // In pieces of 64 KiB, as Wine's mux writes: one WriteFile of a whole
    // 1080p frame (6 MB) costs this process about twice the CPU under Wine
    // (docs/wine-platform.md).
    while (size > 0) {
        const ULONG part = static_cast<ULONG>(std::min<size_t>(size, kWritePiece));
        ULONG written = 0;
        const HRESULT hr = file_->Write(data, part, &written);
        if (FAILED(hr) || written != part) {
            failed_ = true;
            return FAILED(hr) ? hr : STG_E_MEDIUMFULL;
        }
        position_ += part;
        data = static_cast<const BYTE*>(data) + part;
        size -= part;
    }
    return S_OK;
}

HRESULT AviWriter::seek(ULONGLONG offset) {
    if (failed_) return E_FAIL;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    const HRESULT hr = file_->Seek(to, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) failed_ = true;
    else position_ = offset;
    return hr;
}

size_t AviWriter::headers_size() const {
    size_t size = 12 + 12 + 8 + sizeof(AVIMAINHEADER) - 8;
    for (const Stream& s : streams_) size += 12 + sizeof(AVISTREAMHEADER) + 8 + even(s.format.format.size()) + 32 + 16 * kSuperIndexEntries;
    return size + 12 + sizeof(AVIEXTHEADER);
}

HRESULT AviWriter::begin() {
    begun_ = true;
    const std::vector<BYTE> placeholder(headers_size(), 0);
    HRESULT hr = seek(0);
    if (SUCCEEDED(hr)) hr = put(placeholder.data(), placeholder.size());
    movi_start_ = position_;
    const DWORD movi[] = {fourcc("LIST"), 0, fourcc("movi")};
    if (SUCCEEDED(hr)) hr = put(movi, sizeof movi);
    return hr;
}

HRESULT AviWriter::begin_part() {
    first_part_ = false;
    riff_start_ = position_;
    const DWORD riff[] = {fourcc("RIFF"), 0, fourcc("AVIX")};
    HRESULT hr = put(riff, sizeof riff);
    movi_start_ = position_;
    const DWORD movi[] = {fourcc("LIST"), 0, fourcc("movi")};
    if (SUCCEEDED(hr)) hr = put(movi, sizeof movi);
    return hr;
}

ULONGLONG AviWriter::index_bytes_after(size_t stream) const {
    ULONGLONG bytes = 0;
    for (size_t i = 0; i < streams_.size(); ++i) {
        const size_t count = streams_[i].entries.size() + (i == stream ? 1 : 0);
        if (count) bytes += 32 + 8 * static_cast<ULONGLONG>(count);
    }
    if (first_part_ && old_index_) bytes += 8 + 16 * static_cast<ULONGLONG>(old_index_entries_.size() + 1);
    return bytes;
}

HRESULT AviWriter::write(size_t stream, const BYTE* data, DWORD size, bool key_frame) {
    if (stream >= streams_.size()) return E_INVALIDARG;
    HRESULT hr = begun_ ? S_OK : begin();
    if (FAILED(hr)) return hr;
    bool part_has_chunks = false;
    for (const Stream& s : streams_) part_has_chunks = part_has_chunks || !s.entries.empty();
    if (part_has_chunks && position_ + 8 + even(size) + index_bytes_after(stream) - riff_start_ > kRiffLimit) {
        hr = end_part();
        if (SUCCEEDED(hr)) hr = begin_part();
        if (FAILED(hr)) return hr;
    }
    Stream& s = streams_[stream];
    const ULONGLONG chunk = position_;
    const DWORD header[] = {s.chunk_id, size};
    hr = put(header, sizeof header);
    if (SUCCEEDED(hr) && size) hr = put(data, size);
    if (SUCCEEDED(hr) && (size & 1)) hr = put("", 1);
    if (FAILED(hr)) return hr;
    s.entries.push_back({chunk + 8, size, key_frame});
    s.samples += s.format.audio ? size / s.format.sample_size : 1;
    s.bytes += size;
    s.largest_chunk = std::max(s.largest_chunk, size);
    if (first_part_) {
        if (!s.format.audio) ++first_part_frames_;
        if (old_index_)
            old_index_entries_.push_back({s.chunk_id, key_frame ? static_cast<DWORD>(AVIIF_KEYFRAME) : 0u,
                                          static_cast<DWORD>(chunk - (movi_start_ + 8)), size});
    }
    return S_OK;
}

HRESULT AviWriter::end_part() {
    HRESULT hr = S_OK;
    for (size_t i = 0; i < streams_.size() && SUCCEEDED(hr); ++i) {
        Stream& s = streams_[i];
        if (s.entries.empty()) continue;
        Bytes ix;
        ix.u32(index_id(i));
        ix.u32(static_cast<DWORD>(24 + 8 * s.entries.size()));
        ix.u16(2);  // longs per entry
        ix.u8(0);   // no sub type
        ix.u8(AVI_INDEX_OF_CHUNKS);
        ix.u32(static_cast<DWORD>(s.entries.size()));
        ix.u32(s.chunk_id);
        ix.u64(riff_start_);
        ix.u32(0);
        uint64_t duration = 0;
        for (const Entry& e : s.entries) {
            ix.u32(static_cast<DWORD>(e.data_offset - riff_start_));
            ix.u32(e.size | (e.key ? 0u : 0x80000000u));
            duration += s.format.audio ? e.size / s.format.sample_size : 1;
        }
        if (s.parts.size() < kSuperIndexEntries)
            s.parts.push_back({position_, static_cast<DWORD>(ix.get().size()), low32(duration)});
        hr = put(ix.get().data(), ix.get().size());
        s.entries.clear();
    }
    const ULONGLONG movi_end = position_;
    if (SUCCEEDED(hr) && first_part_ && old_index_) {
        Bytes idx1;
        idx1.u32(fourcc("idx1"));
        idx1.u32(static_cast<DWORD>(16 * old_index_entries_.size()));
        for (const OldIndexEntry& e : old_index_entries_) {
            idx1.u32(e.chunk_id);
            idx1.u32(e.flags);
            idx1.u32(e.offset);
            idx1.u32(e.size);
        }
        hr = put(idx1.get().data(), idx1.get().size());
        old_index_entries_.clear();
    }
    if (FAILED(hr)) return hr;
    const ULONGLONG end = position_;
    const DWORD movi_size = static_cast<DWORD>(movi_end - movi_start_ - 8);
    const DWORD riff_size = static_cast<DWORD>(end - riff_start_ - 8);
    if (first_part_) first_riff_size_ = riff_size;
    hr = seek(movi_start_ + 4);
    if (SUCCEEDED(hr)) hr = put(&movi_size, 4);
    if (SUCCEEDED(hr)) hr = seek(riff_start_ + 4);
    if (SUCCEEDED(hr)) hr = put(&riff_size, 4);
    if (SUCCEEDED(hr)) hr = seek(end);
    return hr;
}

std::vector<BYTE> AviWriter::headers() const {
    const Stream* video = nullptr;
    DWORD largest = 0;
    ULONGLONG bytes_per_second = 0;
    for (const Stream& s : streams_) {
        if (!video && !s.format.audio) video = &s;
        largest = std::max(largest, s.largest_chunk);
        bytes_per_second += s.format.audio ? s.format.rate
                                           : static_cast<ULONGLONG>(s.largest_chunk) * s.format.rate / s.format.scale;
    }
    Bytes h;
    h.u32(fourcc("RIFF"));
    h.u32(static_cast<DWORD>(first_riff_size_));
    h.u32(fourcc("AVI "));
    h.u32(fourcc("LIST"));
    h.u32(static_cast<DWORD>(headers_size() - 20));
    h.u32(fourcc("hdrl"));
    h.u32(fourcc("avih"));
    h.u32(sizeof(AVIMAINHEADER) - 8);
    h.u32(video ? static_cast<DWORD>(static_cast<ULONGLONG>(video->format.scale) * 1000000 / video->format.rate) : 0);
    h.u32(low32(bytes_per_second));
    h.u32(0);  // padding granularity
    h.u32((old_index_ ? AVIF_HASINDEX : 0) | AVIF_ISINTERLEAVED | AVIF_TRUSTCKTYPE | AVIF_WASCAPTUREFILE);
    h.u32(low32(first_part_frames_));
    h.u32(0);  // initial frames
    h.u32(static_cast<DWORD>(streams_.size()));
    h.u32(largest + 8);
    h.u32(video ? static_cast<DWORD>(video->format.width) : 0);
    h.u32(video ? static_cast<DWORD>(video->format.height) : 0);
    h.zeros(16);
    for (size_t i = 0; i < streams_.size(); ++i) {
        const Stream& s = streams_[i];
        const size_t strf = even(s.format.format.size());
        h.u32(fourcc("LIST"));
        h.u32(static_cast<DWORD>(4 + sizeof(AVISTREAMHEADER) + 8 + strf + 32 + 16 * kSuperIndexEntries));
        h.u32(fourcc("strl"));
        h.u32(fourcc("strh"));
        h.u32(sizeof(AVISTREAMHEADER) - 8);
        h.u32(s.format.audio ? fourcc("auds") : fourcc("vids"));
        h.u32(s.format.audio ? 0 : s.format.handler);
        h.u32(0);  // flags
        h.u16(0);  // priority
        h.u16(0);  // language
        h.u32(0);  // initial frames
        h.u32(s.format.scale);
        h.u32(s.format.rate);
        h.u32(0);  // start
        h.u32(low32(s.samples));
        h.u32(s.largest_chunk);
        h.u32(0xffffffff);  // quality: the default
        h.u32(s.format.sample_size);
        h.u16(0);
        h.u16(0);
        h.u16(static_cast<WORD>(s.format.width));
        h.u16(static_cast<WORD>(s.format.height));
        h.u32(fourcc("strf"));
        h.u32(static_cast<DWORD>(s.format.format.size()));
        h.raw(s.format.format);
        h.zeros(strf - s.format.format.size());
        h.u32(fourcc("indx"));
        h.u32(static_cast<DWORD>(24 + 16 * kSuperIndexEntries));
        h.u16(4);  // longs per entry
        h.u8(0);
        h.u8(AVI_INDEX_OF_INDEXES);
        h.u32(static_cast<DWORD>(s.parts.size()));
        h.u32(s.chunk_id);
        h.zeros(12);
        for (const Part& part : s.parts) {
            h.u64(part.offset);
            h.u32(part.size);
            h.u32(part.duration);
        }
        h.zeros(16 * (kSuperIndexEntries - s.parts.size()));
    }
    h.u32(fourcc("LIST"));
    h.u32(4 + sizeof(AVIEXTHEADER));
    h.u32(fourcc("odml"));
    h.u32(fourcc("dmlh"));
    h.u32(sizeof(AVIEXTHEADER) - 8);
    h.u32(video ? low32(video->samples) : 0);
    h.zeros(sizeof(AVIEXTHEADER) - 12);
    return std::move(h.get());
}

HRESULT AviWriter::finish() {
    HRESULT hr = begun_ ? S_OK : begin();
    if (SUCCEEDED(hr)) hr = end_part();
    const ULONGLONG end = position_;
    if (SUCCEEDED(hr)) hr = seek(0);
    const std::vector<BYTE> header = SUCCEEDED(hr) ? headers() : std::vector<BYTE>{};
    if (SUCCEEDED(hr)) hr = put(header.data(), header.size());
    if (SUCCEEDED(hr)) hr = seek(end);
    return hr;
}

}  // namespace vlxtp
