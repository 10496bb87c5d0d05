#include "devices/device_paths.h"

#include "devices/health_codes.h"
#include "common/directshow.h"
#include "common/string_argument.h"
#include "enum/category_names.h"
#include "enum/device_lists.h"
#include "enum/name_list.h"
#include "library/library_state.h"
#include "library/list_budget.h"

#include <string>
#include <vector>

namespace vlx::health {

namespace {

ListKey path_list(int32_t kind) {
    return {kind == 0 ? SizedList::video_device_paths : SizedList::audio_device_paths};
}

constexpr CategoryCalls kPathList{.create = "vlx_GetDevicePathList->CoCreateInstance(SystemDeviceEnum)",
                                  .enumerate = "vlx_GetDevicePathList->DevEnum->CreateClassEnumerator",
                                  .reset = "vlx_GetDevicePathList->EnumMoniker->Reset",
                                  .no_device_enum = kPathsNoDeviceEnumerator,
                                  .no_enumerator = kPathsNoEnumerator,
                                  .display_name = "vlx_GetDevicePathList->Moniker->GetDisplayName"};
constexpr CategoryCalls kPathListSize{.create = "vlx_GetDevicePathListSize->CoCreateInstance(SystemDeviceEnum)",
                                      .enumerate = "vlx_GetDevicePathListSize->DevEnum->CreateClassEnumerator",
                                      .reset = "vlx_GetDevicePathListSize->EnumMoniker->Reset",
                                          .no_device_enum = kPathsNoDeviceEnumerator,
                                      .no_enumerator = kPathsNoEnumerator,
                                      .display_name = "vlx_GetDevicePathListSize->Moniker->GetDisplayName"};
constexpr CategoryCalls kFindDevice{.create = "vlx_FindDevice->CoCreateInstance(SystemDeviceEnum)",
                                    .enumerate = "vlx_FindDevice->DevEnum->CreateClassEnumerator",
                                    .reset = "vlx_FindDevice->EnumMoniker->Reset",
                                    .read = "vlx_FindDevice->PropertyBag->Read(FriendlyName)",
                                    .no_device_enum = kPathsNoDeviceEnumerator,
                                    .no_enumerator = kPathsNoEnumerator,
                                    .display_name = "vlx_FindDevice->Moniker->GetDisplayName"};
constexpr CategoryCalls kReopen{.create = "vlx_Reopen->CoCreateInstance(SystemDeviceEnum)",
                                .enumerate = "vlx_Reopen->DevEnum->CreateClassEnumerator",
                                .reset = "vlx_Reopen->EnumMoniker->Reset",
                                .no_device_enum = kReopenNoDeviceEnumerator,
                                .no_enumerator = kReopenNoDeviceWithPath,
                                .display_name = "vlx_Reopen->Moniker->GetDisplayName"};

// The position of the `occurrence`-th entry for which `matches` holds, or -1.
template <class Entries, class Match>
int32_t nth_match(const Entries& entries, int32_t occurrence, Match&& matches) {
    int32_t seen = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (matches(entries[i]) && seen++ == occurrence) return static_cast<int32_t>(i);
    }
    return -1;
}

struct Identity {
    std::string name;
    std::string path;
};

}  // namespace

int32_t list_device_paths(char* text, int32_t kind) {
    return write_entry_list(text, device_category(kind), kPathList, path_list(kind), &CategoryEntry::path);
}

int32_t device_path_list_size(int32_t kind) {
    return measure_entry_list(device_category(kind), kPathListSize, path_list(kind), &CategoryEntry::path);
}

int32_t find_device(const char* text, int32_t occurrence) {
    if (!library_initialised() || !text || is_resource_number(text)) return kFindNotInitialised;
    if (occurrence < 0) return kFindNegativeOccurrence;
    std::vector<Identity> devices;
    const int32_t failed = visit_category_entries(CLSID_VideoInputDeviceCategory, kFindDevice,
                                                  [&](const CategoryEntry& entry) {
                                                      devices.push_back({utf8_of(entry.name), utf8_of(entry.path)});
                                                  });
    if (failed) return failed;
    // A path names one device; a name may be shared, and only where no
    // path matches is the text taken as a name.
    const std::string wanted(text);
    const auto has_path = [&](const Identity& device) { return !wanted.empty() && device.path == wanted; };
    const bool by_path = nth_match(devices, 0, has_path) >= 0;
    const int32_t found = by_path ? nth_match(devices, occurrence, has_path)
                                  : nth_match(devices, occurrence, [&](const Identity& device) {
                                        return device.name == wanted;
                                    });
    return found >= 0 ? found : kFindNoSuchDevice;
}

int32_t index_of_path(const std::wstring& path) {
    std::vector<std::wstring> paths;
    const int32_t failed = visit_category_entries(CLSID_VideoInputDeviceCategory, kReopen,
                                                  [&](const CategoryEntry& entry) { paths.emplace_back(entry.path); });
    if (failed) return failed;
    const int32_t found =
        nth_match(paths, 0, [&](const std::wstring& candidate) { return !path.empty() && candidate == path; });
    return found >= 0 ? found : kReopenNoDeviceWithPath;
}

}  // namespace vlx::health
