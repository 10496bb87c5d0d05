#include "sharecam/transport/header_check.h"

#include <cstring>

namespace vlxshare::transport {

ChannelHeader* valid_header(const ChannelView& view) {
    if (!view.is_open()) return nullptr;
    auto* header = reinterpret_cast<ChannelHeader*>(view.base());
    if (header->magic != static_cast<LONG>(kMagic)) return nullptr;
    MemoryBarrier();
    if (header->version != kLayoutVersion || header->header_bytes != sizeof(ChannelHeader) ||
        header->ring_frames != kRingFrames || header->frame_capacity != kFrameCapacity ||
        header->data_offset != kDataOffset)
        return nullptr;
    return header;
}

void initialise_header(ChannelView& view, bool force) {
    if (!view.is_open()) return;
    auto* header = reinterpret_cast<ChannelHeader*>(view.base());
    if (valid_header(view)) return;
    if (!force && header->magic != 0) return;  // not ours to repair
    if (force) {
        header->magic = 0;
        MemoryBarrier();
        std::memset(view.base(), 0, sizeof(ChannelHeader));
    }
    header->version = kLayoutVersion;
    header->header_bytes = sizeof(ChannelHeader);
    header->ring_frames = kRingFrames;
    header->frame_capacity = kFrameCapacity;
    header->data_offset = kDataOffset;
    MemoryBarrier();
    InterlockedCompareExchange(&header->magic, static_cast<LONG>(kMagic), 0);
}

bool frame_shape_valid(uint32_t format, int32_t width, int32_t height, uint32_t stride, uint32_t bytes) {
    if (format != kFormatRgb24) return false;
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide) return false;
    if (stride != rgb24_stride(width)) return false;
    return static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) == bytes && bytes <= kFrameCapacity;
}

}  // namespace vlxshare::transport
