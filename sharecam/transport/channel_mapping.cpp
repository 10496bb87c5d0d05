#include "sharecam/transport/channel_mapping.h"

#include "sharecam/transport/layout.h"

#include <aclapi.h>
#include <sddl.h>

#include <utility>

namespace vlxshare::transport {

std::wstring mapping_name(int32_t channel) { return L"Local\\vidlox-share-" + std::to_wstring(channel); }

std::wstring publisher_mutex_name(int32_t channel) { return mapping_name(channel) + L"-publisher"; }

std::wstring reader_event_name(int32_t channel, uint32_t reader_slot) {
    return mapping_name(channel) + L"-reader-" + std::to_wstring(reader_slot);
}

namespace {

// The current user's SID (in `buffer`), or null.
PSID user_sid(BYTE (&buffer)[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)]) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD length = 0;
    const BOOL read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length);
    CloseHandle(token);
    return read ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid : nullptr;
}

// What CreateMutexW / CreateEventW answered, checked: a handle of an
// object that existed already is kept only when the user owns it.
HANDLE checked(HANDLE handle) {
    if (!handle || GetLastError() != ERROR_ALREADY_EXISTS || user_owns(handle)) return handle;
    CloseHandle(handle);
    SetLastError(kForeignObject);
    return nullptr;
}

}  // namespace

OwnerOnly::OwnerOnly() {
    alignas(TOKEN_USER) BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    const PSID sid = user_sid(buffer);
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return;
    // Owned by the user (not the token's default owner, which may be a
    // group), and a protected DACL with one entry: generic all for the user.
    const std::wstring sddl = std::wstring(L"O:") + text + L"D:P(A;;GA;;;" + text + L")";
    LocalFree(text);
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
        descriptor_ = nullptr;
        return;
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
}

OwnerOnly::~OwnerOnly() {
    if (descriptor_) LocalFree(descriptor_);
}

bool user_owns(HANDLE handle) {
    alignas(TOKEN_USER) BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    const PSID user = user_sid(buffer);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!user || GetSecurityInfo(handle, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    // No DACL at all grants everyone everything.
    bool ours = owner && EqualSid(owner, user) && dacl && dacl->AceCount > 0;
    for (WORD i = 0; ours && i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        ours = GetAce(dacl, i, &entry) && static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
               EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart, user);
    }
    LocalFree(descriptor);
    return ours;
}

namespace {

// `create(security)` makes or opens the object; GetLastError() says which.
template <class Create>
HANDLE create_owned(Create&& create) {
    OwnerOnly security;
    if (!security.get()) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return nullptr;
    }
    SetLastError(0);
    return checked(create(security.get()));
}

}  // namespace

HANDLE create_owned_mutex(const std::wstring& name) {
    return create_owned([&](SECURITY_ATTRIBUTES* security) { return CreateMutexW(security, FALSE, name.c_str()); });
}

HANDLE create_owned_event(const std::wstring& name) {
    return create_owned(
        [&](SECURITY_ATTRIBUTES* security) { return CreateEventW(security, FALSE, FALSE, name.c_str()); });
}

HANDLE open_owned_event(const std::wstring& name) {
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE | READ_CONTROL, FALSE, name.c_str());
    if (event && !user_owns(event)) {
        CloseHandle(event);
        return nullptr;
    }
    return event;
}

ChannelView& ChannelView::operator=(ChannelView&& other) noexcept {
    if (this != &other) {
        close();
        mapping_ = std::exchange(other.mapping_, nullptr);
        base_ = std::exchange(other.base_, nullptr);
    }
    return *this;
}

DWORD ChannelView::open(int32_t channel, bool create) {
    close();
    const std::wstring name = mapping_name(channel);
    HANDLE mapping = nullptr;
    bool existed = true;
    if (create) {
        OwnerOnly security;
        if (!security.get()) return ERROR_INVALID_SECURITY_DESCR;
        SetLastError(0);
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.get(), PAGE_READWRITE,
                                     static_cast<DWORD>(kMappingBytes >> 32), static_cast<DWORD>(kMappingBytes),
                                     name.c_str());
        existed = mapping && GetLastError() == ERROR_ALREADY_EXISTS;
    } else {
        mapping = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE | READ_CONTROL, FALSE, name.c_str());
    }
    if (!mapping) {
        // A name we may not open is another principal's object.
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED ? kForeignObject : error;
    }
    if (existed && !user_owns(mapping)) {
        CloseHandle(mapping);
        return kForeignObject;
    }
    const DWORD attached = attach(mapping);
    CloseHandle(mapping);
    return attached;
}

namespace {

// Whether every page of [base, base + bytes) is committed and writable.
bool committed_read_write(const uint8_t* base, uint64_t bytes) {
    for (uint64_t offset = 0; offset < bytes;) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(base + offset, &region, sizeof region) == 0 || region.State != MEM_COMMIT ||
            (region.Protect & (PAGE_READWRITE | PAGE_WRITECOPY)) == 0 || (region.Protect & PAGE_GUARD) != 0)
            return false;
        offset = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize - base;
    }
    return true;
}

}  // namespace

DWORD ChannelView::attach(HANDLE mapping) {
    close();
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), mapping, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return GetLastError();
    // Exactly our layout's size: a smaller section is refused here.
    void* view = MapViewOfFile(own, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(kMappingBytes));
    if (!view) {
        const DWORD error = GetLastError();
        CloseHandle(own);
        return error;
    }
    // A section of reserved pages (SEC_RESERVE) maps, and faults at the
    // first read: look before reading.
    if (!committed_read_write(static_cast<const uint8_t*>(view), kMappingBytes)) {
        UnmapViewOfFile(view);
        CloseHandle(own);
        return ERROR_INVALID_ADDRESS;
    }
    mapping_ = own;
    base_ = static_cast<uint8_t*>(view);
    return 0;
}

void ChannelView::close() {
    if (base_) UnmapViewOfFile(base_);
    if (mapping_) CloseHandle(mapping_);
    base_ = nullptr;
    mapping_ = nullptr;
}

}  // namespace vlxshare::transport
