// A channel's named objects: its file mapping, the publisher's mutex and
// the readers' events, all in the session's namespace.
//
// Trust: an object under one of these names is used only when it is the
// current user's own, as this code makes them: owned by the user, with a
// protected DACL that grants access to the user alone. An object another
// principal made first (another user's process, a service in the session),
// or one the user's own processes made open to others, is left alone: the
// publisher refuses the channel and a reader shows "no signal". Windows
// lets no one but the user (or an administrator) make an object owned by
// the user, and only the owner may widen its DACL; the user's own
// processes are trusted, as they can read the camera anyway.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vlxshare::transport {

// The error of an object that is not the user's own (the Win32 code whose
// text says so best).
inline constexpr DWORD kForeignObject = ERROR_INVALID_OWNER;

// "Local\vidlox-share-N" and the names derived from it.
std::wstring mapping_name(int32_t channel);
std::wstring publisher_mutex_name(int32_t channel);
std::wstring reader_event_name(int32_t channel, uint32_t reader_slot);

// Security attributes that make an object the current user's own (see
// above). Holds its descriptor; `get()` is null when it could not be made
// (the caller then makes nothing).
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

// Whether the object behind `handle` (opened with READ_CONTROL) is the
// current user's own.
bool user_owns(HANDLE handle);

// A named mutex or event of the user's own: made now, or found and
// checked. Null with GetLastError() set: kForeignObject, or why it could not
// be made (ERROR_INVALID_HANDLE: another kind of object has the name).
HANDLE create_owned_mutex(const std::wstring& name);
HANDLE create_owned_event(const std::wstring& name);
// An existing event of the user's own, for SetEvent; null otherwise.
HANDLE open_owned_event(const std::wstring& name);

// A view of exactly one channel's layout (kMappingBytes), every page of it
// committed and writable: a mapping another process made smaller, or of
// reserved pages, is refused before anything in it is read.
class ChannelView {
public:
    ChannelView() = default;
    ~ChannelView() { close(); }
    ChannelView(const ChannelView&) = delete;
    ChannelView& operator=(const ChannelView&) = delete;
    ChannelView(ChannelView&& other) noexcept { *this = static_cast<ChannelView&&>(other); }
    ChannelView& operator=(ChannelView&& other) noexcept;

    // Opens the channel's mapping, making it (zero-filled) when it is not
    // there yet and `create` is set. 0 or a Win32 error (kForeignObject).
    DWORD open(int32_t channel, bool create);
    // A view of any mapping handle (tests build damaged ones).
    DWORD attach(HANDLE mapping);
    void close();

    uint8_t* base() const { return base_; }
    bool is_open() const { return base_ != nullptr; }

private:
    HANDLE mapping_ = nullptr;
    uint8_t* base_ = nullptr;
};

}  // namespace vlxshare::transport
