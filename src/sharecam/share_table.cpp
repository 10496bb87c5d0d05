#include "sharecam/share_table.h"

#include "common/no_destroy.h"
#include "frames/current_frame.h"
#include "graph/grabber_callback.h"
#include "library/library_state.h"
#include "common/media_type.h"
#include "library/platform_call.h"
#include "sharecam/share_publisher.h"
#include "sharecam/transport/channel_writer.h"

#include <array>

namespace vlx::sharecam {

namespace {

struct SlotShare {
    // The slot's listener on its grabber's callback, for the graph's life;
    // `grabber` is the grabber it listens on.
    ComPtr<SharePublisher> publisher;
    ISampleGrabber* grabber = nullptr;  // identity only
};

constinit NoDestroy<std::array<SlotShare, kSlotCount>> g_slots;

// The slot publishing on each channel (index channel - 1), or -1.
constinit std::array<int32_t, VLX_SHARE_CHANNEL_COUNT> g_channels{-1, -1, -1, -1};

void end_publishing(int32_t slot) {
    SlotShare& entry = g_slots.value[static_cast<size_t>(slot)];
    if (!entry.publisher) return;
    const int32_t channel = entry.publisher->channel();
    entry.publisher->stop();
    if (channel >= 1 && g_channels[static_cast<size_t>(channel - 1)] == slot)
        g_channels[static_cast<size_t>(channel - 1)] = -1;
}

// The slot's format: RGB24, bottom-up (-4), of a size the ring carries (-9).
int32_t published_format(PublishedFormat& format) {
    ConnectedFormat connected;
    if (const int32_t failed =
            connected.fetch({"vlx_ShareSlot->SampleGrabber->GetConnectedMediaType", -3}))
        return failed == -2 ? -4 : failed;
    const VIDEOINFOHEADER& info = connected.video_info();
    if (info.bmiHeader.biBitCount != 24 || info.bmiHeader.biCompression != BI_RGB || info.bmiHeader.biHeight <= 0)
        return -4;
    format.width = info.bmiHeader.biWidth;
    format.height = info.bmiHeader.biHeight;
    format.frame_interval = info.AvgTimePerFrame > 0 ? info.AvgTimePerFrame : 0;
    return carried(format) ? 0 : -9;
}

// The listener on the active slot's grabber, added now if the slot has
// none on this graph: 0, -7 or -8.
int32_t listener_of(int32_t index, Slot& slot, SharePublisher*& out) {
    SlotShare& entry = g_slots.value[static_cast<size_t>(index)];
    if (entry.publisher && entry.grabber == slot.sample_grabber.get()) {
        out = entry.publisher.get();
        return 0;
    }
    end_publishing(index);
    entry = SlotShare{};
    ComPtr<SharePublisher> publisher = ComPtr<SharePublisher>::adopt(SharePublisher::create());
    if (!publisher) return -8;
    // The grabber's one callback may be there already for frame events or
    // device health.
    const HRESULT listening = add_grabber_listener(index, publisher.get(), [&](ISampleGrabberCB* callback) {
        return reported_call("vlx_ShareSlot->SampleGrabber->SetCallback",
                             [&] { return slot.sample_grabber->SetCallback(callback, 0); });
    });
    if (listening == E_OUTOFMEMORY) return -8;
    if (FAILED(listening)) return -7;
    entry.publisher = std::move(publisher);
    entry.grabber = slot.sample_grabber.get();
    out = entry.publisher.get();
    return 0;
}

}  // namespace

int32_t share_slot(int32_t channel) {
    if (channel < 0 || channel > VLX_SHARE_CHANNEL_COUNT) return -2;
    const int32_t index = library().active_slot;
    if (channel == 0) {
        end_publishing(index);
        return 0;
    }
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.sample_grabber) return -3;
    const int32_t holder = g_channels[static_cast<size_t>(channel - 1)];
    SlotShare& entry = g_slots.value[static_cast<size_t>(index)];
    if (holder == index && entry.publisher && entry.grabber == slot.sample_grabber.get()) return 0;
    // From here on the slot gives up the channel it published on before,
    // whether the new one is had or not.
    auto refused = [&](int32_t code) {
        end_publishing(index);
        return code;
    };
    if (holder >= 0 && holder != index) return refused(-5);

    PublishedFormat format;
    if (const int32_t failed = published_format(format)) return refused(failed);
    SharePublisher* publisher = nullptr;
    if (const int32_t failed = listener_of(index, slot, publisher)) return refused(failed);

    // The slot gives up the channel it published on before, if any.
    end_publishing(index);
    vlxshare::transport::ClaimResult claimed = vlxshare::transport::ClaimResult::failed;
    const HRESULT opened = reported_call("vlx_ShareSlot->FileMapping->Open", [&] {
        claimed = publisher->start(channel, format);
        if (claimed == vlxshare::transport::ClaimResult::failed || claimed == vlxshare::transport::ClaimResult::foreign)
            return HRESULT_FROM_WIN32(publisher->error());
        return S_OK;
    });
    if (claimed == vlxshare::transport::ClaimResult::taken) return -5;
    if (claimed == vlxshare::transport::ClaimResult::foreign) return -10;
    if (FAILED(opened) || claimed != vlxshare::transport::ClaimResult::claimed) return -6;
    g_channels[static_cast<size_t>(channel - 1)] = index;
    return 0;
}

int32_t share_info(int32_t channel, int64_t* info) {
    if (!info) return -1;
    if (channel < 1 || channel > VLX_SHARE_CHANNEL_COUNT) return -2;
    vlxshare::transport::ChannelInfo read;
    const bool found = vlxshare::transport::read_channel_info(channel, read);
    info[VLX_SHARE_READERS] = read.readers;
    info[VLX_SHARE_PUBLISHED] = read.published;
    info[VLX_SHARE_SKIPPED] = read.slowest_skipped;
    info[VLX_SHARE_PUBLISHER] = read.publisher_pid;
    if (!found) return 1;
    return read.frames_not_carried ? 2 : 0;
}

void share_slot_released(int32_t slot) {
    if (slot < 0 || slot >= kSlotCount) return;
    end_publishing(slot);
    // The listener stays on the old grabber until the graph goes.
    g_slots.value[static_cast<size_t>(slot)] = SlotShare{};
}

void share_library_exits() noexcept {
    for (int32_t slot = 0; slot < kSlotCount; ++slot) share_slot_released(slot);
}

void share_connection_changed(int32_t slot) {
    if (slot < 0 || slot >= kSlotCount) return;
    SlotShare& entry = g_slots.value[static_cast<size_t>(slot)];
    const Slot& graph = library().slots[static_cast<size_t>(slot)];
    if (!entry.publisher || !graph.sample_grabber) return;
    MediaType type;
    const HRESULT got = platform_call("Share.SampleGrabber.GetConnectedMediaType",
                                      [&] { return graph.sample_grabber->GetConnectedMediaType(type.get()); });
    if (got != S_OK || !IsEqualGUID(type->formattype, FORMAT_VideoInfo) || !type->pbFormat ||
        type->cbFormat < sizeof(VIDEOINFOHEADER))
        return;
    const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    entry.publisher->set_format(
        {info.bmiHeader.biWidth, info.bmiHeader.biHeight, info.AvgTimePerFrame > 0 ? info.AvgTimePerFrame : 0});
}

}  // namespace vlx::sharecam
