#include "support/handle_census.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

namespace vlx_test {

namespace {

// ObjectTypeInformation (2): a UNICODE_STRING name at the start, then
// counters this census does not read.
struct TypeInformation {
    UNICODE_STRING name;
    ULONG rest[22];
};

using QueryObject = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);

std::string type_name(QueryObject query, HANDLE handle) {
    alignas(8) unsigned char buffer[512];
    ULONG length = 0;
    if (!query || query(handle, static_cast<OBJECT_INFORMATION_CLASS>(2), buffer, sizeof buffer, &length) != 0)
        return "?";
    const auto* info = reinterpret_cast<const TypeInformation*>(buffer);
    std::string name;
    for (USHORT i = 0; i < info->name.Length / sizeof(wchar_t); ++i) name += static_cast<char>(info->name.Buffer[i]);
    return name;
}

}  // namespace

HandleCensus handle_census() {
    const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    HandleCensus census;
    long misses = 0;
    for (uintptr_t value = 4; misses < 8192; value += 4) {
        DWORD flags = 0;
        const auto handle = reinterpret_cast<HANDLE>(value);
        if (!GetHandleInformation(handle, &flags)) {
            ++misses;
            continue;
        }
        misses = 0;
        ++census[type_name(query, handle)];
    }
    return census;
}

long total(const HandleCensus& census) {
    long sum = 0;
    for (const auto& [type, count] : census) sum += count;
    return sum;
}

std::string census_change(const HandleCensus& before, const HandleCensus& after) {
    std::vector<std::pair<long, std::string>> changes;
    HandleCensus every = before;
    every.insert(after.begin(), after.end());
    for (const auto& [type, unused] : every) {
        const auto was = before.find(type), is = after.find(type);
        const long change = (is == after.end() ? 0 : is->second) - (was == before.end() ? 0 : was->second);
        if (change != 0) changes.emplace_back(change, type);
    }
    std::sort(changes.begin(), changes.end(), [](const auto& a, const auto& b) { return std::abs(a.first) > std::abs(b.first); });
    std::string text;
    for (const auto& [change, type] : changes) text += (text.empty() ? "" : ", ") + type + " " + std::to_string(change);
    return text.empty() ? "none" : text;
}

}  // namespace vlx_test
