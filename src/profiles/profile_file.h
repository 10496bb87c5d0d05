// Profile files: the host's UTF-8 file name, reading a file whole within
// the size a profile may have, and writing one aside and renaming it over
// the old, so that a write that fails leaves the old file whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vlx::profiles {

// `file` as UTF-16: nothing for NULL, a value 1 ... 65535, an empty name or
// one that is not UTF-8.
std::optional<std::wstring> file_name_of(const char* file);

// The whole file, read under vlx_ApplyProfile's context strings: 0, or
// kApplyUnreadable, or kApplyTooLarge (nothing read past the size check).
int32_t read_profile_file(const std::wstring& name, std::string& bytes);

// Writes `text` to "<name>.<process id>.tmp", flushes it and renames it over
// `name`, under vlx_SaveProfile's context strings: 0, or kSaveCannotCreate,
// kSaveWriteFailed, kSaveRenameFailed (the new file removed again).
int32_t write_profile_file(const std::wstring& name, std::string_view text);

}  // namespace vlx::profiles
