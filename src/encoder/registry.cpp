#include "encoder/registry.h"

#include "common/string_argument.h"
#include "encoder/encoder.h"


#include <limits>
#include <map>
#include <memory>
#include <new>

namespace vlx {

namespace {

constexpr ULONG kMfVersion = 0x20070;

struct Registry {
    std::map<int32_t, std::unique_ptr<Encoder>> encoders;
    int32_t last_id = -1;  // ids are never reused
};

// Made on first use and never destroyed: unloading the library runs no
// Media Foundation code for encoders the host left open.
Registry& registry() {
    static Registry* instance = new Registry();
    return *instance;
}

Encoder* find(int32_t id) {
    auto& encoders = registry().encoders;
    const auto it = encoders.find(id);
    return it == encoders.end() ? nullptr : it->second.get();
}

}  // namespace

int32_t start_media_foundation() { return MFStartup(kMfVersion, MFSTARTUP_FULL); }

int32_t stop_media_foundation() { return MFShutdown(); }

int32_t create_encoder() {
    Registry& r = registry();
    if (r.last_id == std::numeric_limits<int32_t>::max()) return -1;  // every id has been given
    std::unique_ptr<Encoder> encoder(new (std::nothrow) Encoder());
    if (!encoder) return -1;
    const int32_t id = r.last_id + 1;
    r.encoders[id] = std::move(encoder);  // may throw: the export answers -1
    r.last_id = id;
    return id;
}

int32_t open_encoder_id(int32_t id, const wchar_t* file_name, int32_t codec, int32_t width, int32_t height,
                        int32_t bits_per_pixel, double frame_rate, int32_t bit_rate) {
    Encoder* encoder = find(id);
    if (!encoder) return kUnknownEncoder;
    if (is_resource_number(file_name)) file_name = nullptr;  // names no file
    return open_encoder(*encoder, file_name, codec, width, height, bits_per_pixel, frame_rate, bit_rate);
}

int32_t write_encoder_id(int32_t id, const void* pixels, int32_t flip_vertical) {
    Encoder* encoder = find(id);
    if (!encoder) return kUnknownEncoder;
    return write_frame(*encoder, static_cast<const uint8_t*>(pixels), flip_vertical != 0);
}

int32_t close_encoder_id(int32_t id) {
    Encoder* encoder = find(id);
    if (!encoder) return kUnknownEncoder;
    close_encoder(*encoder);
    return 0;
}

int32_t delete_encoder_id(int32_t id) {
    auto& encoders = registry().encoders;
    const auto it = encoders.find(id);
    if (it == encoders.end()) return kUnknownEncoder;
    // An encoder deleted while open is finalized first: no unfinished file
    // and no writer left behind.
    close_encoder(*it->second);
    encoders.erase(it);
    return 0;
}

#ifdef VLX_FAULT_INJECTION
void set_last_encoder_id(int32_t id) { registry().last_id = id; }
#endif

}  // namespace vlx
