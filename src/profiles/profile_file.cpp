#include "profiles/profile_file.h"

#include "common/file_handle.h"
#include "common/string_argument.h"
#include "library/platform_call.h"
#include "profiles/profile_codes.h"
#include "vidlox.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace vlx::profiles {

namespace {

HRESULT last_error_status() {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// CreateFileW for `access`, reported under `context`; its handle in `file`.
HRESULT create_file(const char* context, const std::wstring& name, DWORD access, DWORD share, DWORD disposition,
                    HANDLE& file) {
    return reported_call(context, [&] {
        file = CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file == INVALID_HANDLE_VALUE ? last_error_status() : S_OK;
    });
}

}  // namespace

std::optional<std::wstring> file_name_of(const char* file) {
    if (!file || is_resource_number(file) || !*file) return std::nullopt;
    const size_t length = std::strlen(file);
    if (length > INT_MAX / 2) return std::nullopt;
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, file, static_cast<int>(length), nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::wstring name(static_cast<size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, file, static_cast<int>(length), name.data(), units) != units)
        return std::nullopt;
    return name;
}

int32_t read_profile_file(const std::wstring& name, std::string& bytes) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    // Another program may hold the file open for writing, or rename it.
    if (FAILED(create_file("vlx_ApplyProfile->CreateFileW", name, GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, opened)))
        return kApplyUnreadable;
    FileHandle file(opened);
    LARGE_INTEGER size{};
    if (FAILED(reported_call("vlx_ApplyProfile->GetFileSizeEx", [&] {
            return GetFileSizeEx(file.get(), &size) ? S_OK : last_error_status();
        })))
        return kApplyUnreadable;
    if (size.QuadPart > VLX_PROFILE_MAX_BYTES) return kApplyTooLarge;
    // One byte more than a profile may have: a file that grew since its size
    // was read shows it.
    bytes.assign(VLX_PROFILE_MAX_BYTES + 1, '\0');
    DWORD read = 0;
    if (FAILED(reported_call("vlx_ApplyProfile->ReadFile", [&] {
            return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)
                       ? S_OK
                       : last_error_status();
        })))
        return kApplyUnreadable;
    if (read > VLX_PROFILE_MAX_BYTES) return kApplyTooLarge;
    bytes.resize(read);
    return 0;
}

int32_t write_profile_file(const std::wstring& name, std::string_view text) {
    const std::wstring aside = name + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE created = INVALID_HANDLE_VALUE;
    if (FAILED(create_file("vlx_SaveProfile->CreateFileW", aside, GENERIC_WRITE, 0, CREATE_ALWAYS, created)))
        return kSaveCannotCreate;
    FileHandle file(created);
    const auto remove_aside = [&] {
        file.close();
        platform_call("vlx_SaveProfile.DeleteFileW",
                      [&] { return DeleteFileW(aside.c_str()) ? S_OK : last_error_status(); });
    };
    DWORD written = 0;
    const HRESULT wrote = reported_call("vlx_SaveProfile->WriteFile", [&] {
        if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            return last_error_status();
        return written == text.size() ? S_OK : HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL);
    });
    if (FAILED(wrote) || FAILED(reported_call("vlx_SaveProfile->FlushFileBuffers", [&] {
            return FlushFileBuffers(file.get()) ? S_OK : last_error_status();
        }))) {
        remove_aside();
        return kSaveWriteFailed;
    }
    file.close();
    if (FAILED(reported_call("vlx_SaveProfile->MoveFileExW", [&] {
            return MoveFileExW(aside.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                       ? S_OK
                       : last_error_status();
        }))) {
        remove_aside();
        return kSaveRenameFailed;
    }
    return 0;
}

}  // namespace vlx::profiles
