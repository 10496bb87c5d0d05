// The one judgement of a channel header: whether its layout is ours and the
// view holds all of it. Nothing else in a header is trusted before this.
#pragma once

#include "sharecam/transport/channel_mapping.h"
#include "sharecam/transport/layout.h"

namespace vlxshare::transport {

// The header when the view holds a complete channel of our layout, else null.
ChannelHeader* valid_header(const ChannelView& view);

// Writes our layout into a header found zero-filled (a new mapping); a
// header someone else is writing at the same moment ends up the same.
// `force`: also over a header that is not ours (the right of the publisher
// that holds the claim).
void initialise_header(ChannelView& view, bool force);

// Pixels of ring frame `index` (0 .. kRingFrames - 1) of a valid channel.
inline uint8_t* frame_pixels(const ChannelView& view, uint32_t index) {
    return view.base() + kDataOffset + kFrameCapacity * index;
}

// What a frame record must say for its pixels to be read or written: our
// format, sides up to kMaxSide, rows as a 24-bit DIB has them, at most
// kFrameCapacity bytes.
bool frame_shape_valid(uint32_t format, int32_t width, int32_t height, uint32_t stride, uint32_t bytes);

}  // namespace vlxshare::transport
