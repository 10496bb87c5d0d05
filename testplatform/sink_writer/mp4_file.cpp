#include "mp4_file.h"

namespace vlxtp {

namespace {

constexpr uint32_t kTimeScale = 10000000;  // 100 ns, the time unit of Media Foundation samples
constexpr uint32_t kMdatHeader = 16;       // size 1, type, 64-bit size

// Big-endian box writer with nesting.
class Boxes {
public:
    void u8(uint32_t v) { data_.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v >> 8), u8(v); }
    void u32(uint32_t v) { u16(v >> 16), u16(v); }
    void u64(uint64_t v) { u32(static_cast<uint32_t>(v >> 32)), u32(static_cast<uint32_t>(v)); }
    void zeros(size_t count) { data_.insert(data_.end(), count, 0); }
    void bytes(const std::vector<uint8_t>& b) { data_.insert(data_.end(), b.begin(), b.end()); }
    void fourcc(const char* type) {
        for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(type[i]));
    }
    void open(const char* type) {
        open_.push_back(data_.size());
        u32(0);
        fourcc(type);
    }
    // A full box: version and flags after the type.
    void open_full(const char* type, uint8_t version, uint32_t flags) {
        open(type);
        u32((uint32_t{version} << 24) | flags);
    }
    void close() {
        const size_t start = open_.back();
        open_.pop_back();
        const auto size = static_cast<uint32_t>(data_.size() - start);
        for (int i = 0; i < 4; ++i) data_[start + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }
    void unity_matrix() {
        for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u}) u32(v);
    }
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
    std::vector<size_t> open_;
};

void avc_sample_entry(Boxes& b, const TrackFormat& f) {
    b.open("avc1");
    b.zeros(6);
    b.u16(1);  // data_reference_index
    b.zeros(16);
    b.u16(static_cast<uint32_t>(f.width));
    b.u16(static_cast<uint32_t>(f.height));
    b.u32(0x00480000);  // 72 dpi
    b.u32(0x00480000);
    b.u32(0);
    b.u16(1);  // frame_count
    b.zeros(32);  // compressorname
    b.u16(0x0018);
    b.u16(0xFFFF);
    b.open("avcC");
    b.u8(1);
    b.u8(static_cast<uint32_t>(f.profile));
    b.u8(f.sps.size() > 2 ? f.sps[2] : 0);  // the SPS's constraint flags
    b.u8(static_cast<uint32_t>(f.level));
    b.u8(0xFF);  // 4-byte NAL lengths
    b.u8(0xE1);  // one SPS
    b.u16(static_cast<uint32_t>(f.sps.size()));
    b.bytes(f.sps);
    b.u8(1);  // one PPS
    b.u16(static_cast<uint32_t>(f.pps.size()));
    b.bytes(f.pps);
    if (f.profile >= 100) {
        b.u8(0xFC | 1);  // chroma_format 4:2:0
        b.u8(0xF8);      // 8-bit luma
        b.u8(0xF8);      // 8-bit chroma
        b.u8(0);         // no SPS extensions
    }
    b.close();
    b.close();
}

}  // namespace

HRESULT Mp4File::create(const std::wstring& path) {
    file_.emplace(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_->valid() ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT Mp4File::write(const std::vector<uint8_t>& bytes) {
    DWORD written = 0;
    if (!WriteFile(handle(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return HRESULT_FROM_WIN32(GetLastError());
    position_ += written;
    return written == bytes.size() ? S_OK : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
}

HRESULT Mp4File::begin() {
    Boxes b;
    b.open("ftyp");
    b.fourcc("isom");
    b.u32(0x200);
    for (const char* brand : {"isom", "iso2", "avc1", "mp41"}) b.fourcc(brand);
    b.close();
    mdat_start_ = b.data().size();
    b.u32(1);  // the 64-bit size follows the type; finish() fills it in
    b.fourcc("mdat");
    b.u64(0);
    return write(b.data());
}

HRESULT Mp4File::add_sample(const std::vector<uint8_t>& nal, int64_t time, int64_t duration) {
    Boxes b;
    b.u32(static_cast<uint32_t>(nal.size()));
    b.bytes(nal);
    offsets_.push_back(position_);
    const HRESULT hr = write(b.data());
    if (FAILED(hr)) {
        offsets_.pop_back();
        return hr;
    }
    sizes_.push_back(static_cast<uint32_t>(b.data().size()));
    times_.push_back(time);
    durations_.push_back(duration);
    return S_OK;
}

HRESULT Mp4File::finish(const TrackFormat& f) {
    // Each sample lasts until the next one starts; the last one its own duration.
    std::vector<uint32_t> deltas(times_.size());
    uint64_t total = 0;
    for (size_t i = 0; i < times_.size(); ++i) {
        const int64_t gap = i + 1 < times_.size() ? times_[i + 1] - times_[i] : 0;
        deltas[i] = static_cast<uint32_t>(gap > 0 ? gap : durations_[i]);
        total += deltas[i];
    }
    Boxes b;
    b.open("moov");
    b.open_full("mvhd", 1, 0);
    b.zeros(16);  // creation and modification times
    b.u32(kTimeScale);
    b.u64(total);
    b.u32(0x00010000);  // rate 1.0
    b.u16(0x0100);      // volume 1.0
    b.zeros(10);
    b.unity_matrix();
    b.zeros(24);
    b.u32(2);  // next_track_ID
    b.close();
    b.open("trak");
    b.open_full("tkhd", 1, 3);  // enabled, in movie
    b.zeros(16);
    b.u32(1);  // track_ID
    b.u32(0);
    b.u64(total);
    b.zeros(16);  // reserved, layer, alternate_group, volume, reserved
    b.unity_matrix();
    b.u32(static_cast<uint32_t>(f.width) << 16);
    b.u32(static_cast<uint32_t>(f.height) << 16);
    b.close();
    b.open("mdia");
    b.open_full("mdhd", 1, 0);
    b.zeros(16);
    b.u32(kTimeScale);
    b.u64(total);
    b.u16(0x55C4);  // language "und"
    b.u16(0);
    b.close();
    b.open_full("hdlr", 0, 0);
    b.u32(0);
    b.fourcc("vide");
    b.zeros(12);
    b.bytes({'V', 'i', 'd', 'e', 'o', 'H', 'a', 'n', 'd', 'l', 'e', 'r', 0});
    b.close();
    b.open("minf");
    b.open_full("vmhd", 0, 1);
    b.zeros(8);
    b.close();
    b.open("dinf");
    b.open_full("dref", 0, 0);
    b.u32(1);
    b.open_full("url ", 0, 1);  // the data is in this file
    b.close();
    b.close();
    b.close();
    b.open("stbl");
    b.open_full("stsd", 0, 0);
    b.u32(1);
    avc_sample_entry(b, f);
    b.close();
    b.open_full("stts", 0, 0);
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // count, delta
    for (uint32_t delta : deltas) {
        if (!runs.empty() && runs.back().second == delta) ++runs.back().first;
        else runs.emplace_back(1, delta);
    }
    b.u32(static_cast<uint32_t>(runs.size()));
    for (const auto& [count, delta] : runs) b.u32(count), b.u32(delta);
    b.close();
    b.open_full("stsc", 0, 0);  // one sample a chunk; no 'stss': every sample is a sync sample
    b.u32(1);
    b.u32(1), b.u32(1), b.u32(1);
    b.close();
    b.open_full("stsz", 0, 0);
    b.u32(0);
    b.u32(static_cast<uint32_t>(sizes_.size()));
    for (uint32_t size : sizes_) b.u32(size);
    b.close();
    b.open_full("co64", 0, 0);
    b.u32(static_cast<uint32_t>(offsets_.size()));
    for (uint64_t offset : offsets_) b.u64(offset);
    b.close();
    b.close();  // stbl
    b.close();  // minf
    b.close();  // mdia
    b.close();  // trak
    b.close();  // moov

    const uint64_t mdat_size = position_ - mdat_start_;
    HRESULT hr = write(b.data());
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(mdat_start_ + 8);
    if (SUCCEEDED(hr) && !SetFilePointerEx(handle(), at, nullptr, FILE_BEGIN)) hr = HRESULT_FROM_WIN32(GetLastError());
    if (SUCCEEDED(hr)) {
        Boxes size;
        size.u64(mdat_size);
        hr = write(size.data());
    }
    if (file_ && !file_->close() && SUCCEEDED(hr)) hr = HRESULT_FROM_WIN32(GetLastError());
    return hr;
}

}  // namespace vlxtp
