#include "avi_frames.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace tool {

namespace {

// Both headers live in the 'hdrl' list at the start of the file.
constexpr DWORD header_bytes = 64 * 1024;

uint32_t little_endian(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The first 32-bit field of the chunk `id`'s data at `offset` within it, or -1.
int64_t chunk_field(const std::vector<uint8_t>& bytes, const char* id, size_t offset) {
    for (size_t at = 12; at + 8 + offset + 4 <= bytes.size(); ++at) {
        if (std::memcmp(bytes.data() + at, id, 4) == 0 && little_endian(bytes.data() + at + 4) >= offset + 4)
            return little_endian(bytes.data() + at + 8 + offset);
    }
    return -1;
}

}  // namespace

namespace {

// The file's first bytes, where the headers are; empty when it cannot be read.
std::vector<uint8_t> read_headers(const std::wstring& file, int64_t* file_size) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    std::vector<uint8_t> bytes(header_bytes);
    DWORD read = 0;
    LARGE_INTEGER size{};
    const BOOL ok = GetFileSizeEx(handle, &size) && ReadFile(handle, bytes.data(), header_bytes, &read, nullptr);
    CloseHandle(handle);
    if (!ok || read < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "AVI ", 4) != 0)
        return {};
    bytes.resize(read);
    if (file_size) *file_size = size.QuadPart;
    return bytes;
}

}  // namespace

double avi_audio_seconds(const std::wstring& file) {
    const std::vector<uint8_t> bytes = read_headers(file, nullptr);
    for (size_t at = 12; at + 8 + 36 <= bytes.size(); ++at) {
        // strh: fccType, fccHandler, dwFlags, wPriority, wLanguage, dwInitialFrames, dwScale, dwRate, dwStart, dwLength
        if (std::memcmp(bytes.data() + at, "strh", 4) != 0 || std::memcmp(bytes.data() + at + 8, "auds", 4) != 0)
            continue;
        const uint32_t scale = little_endian(bytes.data() + at + 8 + 20), rate = little_endian(bytes.data() + at + 8 + 24);
        return rate ? static_cast<double>(little_endian(bytes.data() + at + 8 + 32)) * scale / rate : -1;
    }
    return -1;
}

int64_t avi_frame_count(const std::wstring& file) {
    int64_t size = 0;
    const std::vector<uint8_t> bytes = read_headers(file, &size);
    if (bytes.empty()) return -1;
    // The main header counts the frames of the first RIFF chunk, which holds
    // a whole recording below 1 GB; past it, 'AVIX' chunks follow and only
    // the OpenDML header counts them all. (Wine's AVI Mux writes an OpenDML
    // count one above the frames it stored, so it is not read otherwise.)
    if (static_cast<int64_t>(little_endian(bytes.data() + 4)) + 8 < size) {
        const int64_t whole_file = chunk_field(bytes, "dmlh", 0);  // dwTotalFrames
        if (whole_file > 0) return whole_file;
    }
    return chunk_field(bytes, "avih", 16);  // dwMicroSecPerFrame .. dwFlags, then dwTotalFrames
}

}  // namespace tool
