#include "avi_frames.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace tool {

namespace {

struct ChunkHeader {
    char id[4];
    uint32_t size;
};

class File {
public:
    explicit File(const std::wstring& name)
        : handle_(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~File() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
    int64_t size() const {
        LARGE_INTEGER size{};
        return GetFileSizeEx(handle_, &size) ? size.QuadPart : -1;
    }
    bool read(int64_t at, void* into, DWORD bytes) const {
        LARGE_INTEGER position{};
        position.QuadPart = at;
        DWORD read = 0;
        return SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN) &&
               ReadFile(handle_, into, bytes, &read, nullptr) && read == bytes;
    }

private:
    HANDLE handle_;
};

bool is(const char* id, const char* wanted) { return std::memcmp(id, wanted, 4) == 0; }

// Chunks are padded to an even size.
int64_t next_chunk(int64_t at, uint32_t size) { return at + 8 + size + (size & 1); }

// Stream 00's data chunks that hold bytes, in the 'movi' list [begin, end).
int64_t pictures_in_movi(const File& file, int64_t begin, int64_t end) {
    int64_t pictures = 0;
    ChunkHeader chunk;
    for (int64_t at = begin; at + 8 <= end && file.read(at, &chunk, sizeof chunk); at = next_chunk(at, chunk.size)) {
        if ((is(chunk.id, "00dc") || is(chunk.id, "00db")) && chunk.size > 0) ++pictures;
    }
    return pictures;
}

// The 'movi' list of the RIFF chunk whose data is [begin, end).
int64_t pictures_in_riff(const File& file, int64_t begin, int64_t end) {
    ChunkHeader chunk;
    for (int64_t at = begin; at + 12 <= end && file.read(at, &chunk, sizeof chunk); at = next_chunk(at, chunk.size)) {
        char list_type[4];
        if (is(chunk.id, "LIST") && file.read(at + 8, list_type, 4) && is(list_type, "movi"))
            return pictures_in_movi(file, at + 12, std::min(end, at + 8 + int64_t{chunk.size}));
    }
    return 0;
}

}  // namespace

int64_t avi_frame_count(const std::wstring& name) {
    const File file(name);
    if (!file.open()) return -1;
    const int64_t size = file.size();
    ChunkHeader riff;
    char form[4];
    if (!file.read(0, &riff, sizeof riff) || !file.read(8, form, 4) || !is(riff.id, "RIFF") || !is(form, "AVI "))
        return -1;
    int64_t pictures = 0;
    for (int64_t at = 0; at + 12 <= size && file.read(at, &riff, sizeof riff) && is(riff.id, "RIFF");
         at = next_chunk(at, riff.size)) {
        pictures += pictures_in_riff(file, at + 12, std::min(size, at + 8 + int64_t{riff.size}));
    }
    return pictures;
}

}  // namespace tool
