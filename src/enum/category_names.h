// Reading the entries of one device category through the system device
// enumerator: their friendly names and, where asked, their paths.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <oaidl.h>

#include "library/optional_context.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vlx {

struct CategoryCalls {
    const char* create;     // CoCreateInstance of the system device enumerator
    const char* enumerate;  // CreateClassEnumerator
    const char* reset;      // IEnumMoniker::Reset
    // IPropertyBag::Read("FriendlyName"); names are read only with one.
    OptionalContext read;
    int32_t no_device_enum;
    int32_t no_enumerator;
    // IMoniker::GetDisplayName for an entry without a "DevicePath"; paths
    // are read only with one.
    OptionalContext display_name;
};

// One entry of a walk. A name or path that cannot be read (or was not asked
// for) is empty, never null, so that entry k of a list is always device k.
struct CategoryEntry {
    const wchar_t* name;
    const wchar_t* path;
};

// Calls `visit` with each entry, in enumeration order. Returns 0, or the
// failure code of `calls` when the enumerator or the category is missing.
int32_t visit_category_entries(const CLSID& category, const CategoryCalls& calls,
                               const std::function<void(const CategoryEntry&)>& visit);

// A device's path: its "DevicePath" property (the name of a hardware
// device's interface, stable while it stays on its port), or else the
// moniker's display name, which names a software device by its class. The
// property is read without a report: most software devices have none, and
// its absence is no failure. `display_name` reports GetDisplayName, or none
// makes it an unreported step too (inside a base export, whose log must not
// change). Empty when neither can be read.
std::wstring moniker_path(IMoniker* moniker, IPropertyBag* bag, OptionalContext display_name);

}  // namespace vlx
