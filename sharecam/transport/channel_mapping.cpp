#include "sharecam/transport/channel_mapping.h"

#include "sharecam/transport/layout.h"

#include <sddl.h>

#include <cwchar>
#include <utility>

namespace vlxshare::transport {

std::wstring mapping_name(int32_t channel) { return L"Local\\vidlox-share-" + std::to_wstring(channel); }

std::wstring reader_event_name(int32_t channel, uint32_t reader_slot) {
    return mapping_name(channel) + L"-reader-" + std::to_wstring(reader_slot);
}

ChannelView& ChannelView::operator=(ChannelView&& other) noexcept {
    if (this != &other) {
        close();
        mapping_ = std::exchange(other.mapping_, nullptr);
        base_ = std::exchange(other.base_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

DWORD ChannelView::open(int32_t channel, bool create) {
    close();
    const std::wstring name = mapping_name(channel);
    HANDLE mapping = nullptr;
    if (create) {
        OwnerOnly security;
        if (!security.get()) return ERROR_INVALID_SECURITY_DESCR;
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.get(), PAGE_READWRITE,
                                     static_cast<DWORD>(kMappingBytes >> 32), static_cast<DWORD>(kMappingBytes),
                                     name.c_str());
    } else {
        mapping = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name.c_str());
    }
    if (!mapping) return GetLastError();
    const DWORD attached = attach(mapping);
    CloseHandle(mapping);
    return attached;
}

DWORD ChannelView::attach(HANDLE mapping) {
    close();
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), mapping, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return GetLastError();
    void* view = MapViewOfFile(own, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    if (!view) {
        const DWORD error = GetLastError();
        CloseHandle(own);
        return error;
    }
    // The section's own size, whoever made it: the view covers all of it.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view, &region, sizeof region) == 0) {
        const DWORD error = GetLastError();
        UnmapViewOfFile(view);
        CloseHandle(own);
        return error;
    }
    mapping_ = own;
    base_ = static_cast<uint8_t*>(view);
    size_ = region.RegionSize;
    return 0;
}

void ChannelView::close() {
    if (base_) UnmapViewOfFile(base_);
    if (mapping_) CloseHandle(mapping_);
    base_ = nullptr;
    mapping_ = nullptr;
    size_ = 0;
}

namespace {

// The current user's SID as text ("S-1-5-21-..."), or empty.
std::wstring user_sid_text() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    alignas(TOKEN_USER) BYTE buffer[256];
    DWORD length = 0;
    std::wstring text;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length)) {
        wchar_t* sid = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
            text = sid;
            LocalFree(sid);
        }
    }
    CloseHandle(token);
    return text;
}

}  // namespace

OwnerOnly::OwnerOnly() {
    const std::wstring sid = user_sid_text();
    if (sid.empty()) return;
    // Protected DACL with one entry: generic all for this user.
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")";
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

}  // namespace vlxshare::transport
