// A temporary entry in a device category of the test prefix's registry, so
// that list tests can meet names the stock Wine categories do not have.
#pragma once

#include <windows.h>

#include <string>

namespace vlx_test {

class CategoryEntry {
public:
    // An entry with FriendlyName `name`, registered the way filters register
    // themselves (IFilterMapper2::RegisterFilter).
    static CategoryEntry with_name(const GUID& category, const GUID& clsid, const std::wstring& name);
    // An entry whose property bag has no FriendlyName at all.
    static CategoryEntry without_name(const GUID& category, const GUID& clsid);

    ~CategoryEntry();
    CategoryEntry(CategoryEntry&& other) noexcept;
    CategoryEntry(const CategoryEntry&) = delete;
    CategoryEntry& operator=(const CategoryEntry&) = delete;

    bool ok() const { return ok_; }

private:
    CategoryEntry(const GUID& category, const GUID& clsid) : category_(category), clsid_(clsid) {}
    void remove();

    GUID category_;
    GUID clsid_;
    bool ok_ = false;
};

}  // namespace vlx_test
