// Reading the friendly names of one device category through the system
// device enumerator.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace vlx {

struct CategoryCalls {
    const char* create;     // CoCreateInstance of the system device enumerator
    const char* enumerate;  // CreateClassEnumerator
    const char* reset;      // IEnumMoniker::Reset
    const char* read;       // IPropertyBag::Read("FriendlyName")
    int32_t no_device_enum;
    int32_t no_enumerator;
};

// Calls `visit` with each entry's friendly name, in enumeration order. An
// entry whose property bag or name cannot be read is visited with an empty
// name, so that entry k of a list is always device k. Returns 0, or the
// failure code of `calls` when the enumerator or the category is missing.
int32_t visit_category_names(const CLSID& category, const CategoryCalls& calls,
                             const std::function<void(const wchar_t*)>& visit);

}  // namespace vlx
