// Opening a channel's file mapping and naming its events. The mapping and
// every event carry a security descriptor that lets only the user who made
// them open them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vlxshare::transport {

// "Local\vidlox-share-N" and the names derived from it.
std::wstring mapping_name(int32_t channel);
std::wstring reader_event_name(int32_t channel, uint32_t reader_slot);

// A view of a channel's mapping. `size` is what the view really covers
// (the section may be smaller than ours when someone else made it), and
// bounds every access.
class ChannelView {
public:
    ChannelView() = default;
    ~ChannelView() { close(); }
    ChannelView(const ChannelView&) = delete;
    ChannelView& operator=(const ChannelView&) = delete;
    ChannelView(ChannelView&& other) noexcept { *this = static_cast<ChannelView&&>(other); }
    ChannelView& operator=(ChannelView&& other) noexcept;

    // Opens the channel's mapping, making it (zero-filled, kMappingBytes)
    // when it is not there yet and `create` is set. 0 or a Win32 error.
    DWORD open(int32_t channel, bool create);
    // A view of any mapping handle (tests build damaged ones).
    DWORD attach(HANDLE mapping);
    void close();

    uint8_t* base() const { return base_; }
    uint64_t size() const { return size_; }
    bool is_open() const { return base_ != nullptr; }

private:
    HANDLE mapping_ = nullptr;
    uint8_t* base_ = nullptr;
    uint64_t size_ = 0;
};

// Security attributes granting everything to the current user and nothing
// to anyone else. Holds its descriptor; `get()` is null when it could not be
// made (the caller then refuses to share).
class OwnerOnly {
public:
    OwnerOnly();
    ~OwnerOnly();
    OwnerOnly(const OwnerOnly&) = delete;
    OwnerOnly& operator=(const OwnerOnly&) = delete;
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace vlxshare::transport
