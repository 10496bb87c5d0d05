#include "support/category_entry.h"

#include <dshow.h>
#include <objbase.h>

namespace vlx_test {

namespace {

std::wstring guid_text(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring instance_key(const GUID& category, const GUID& clsid) {
    return L"CLSID\\" + guid_text(category) + L"\\Instance\\" + guid_text(clsid);
}

}  // namespace

CategoryEntry CategoryEntry::with_name(const GUID& category, const GUID& clsid, const std::wstring& name) {
    CategoryEntry entry(category, clsid);
    entry.remove();
    IFilterMapper2* mapper = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                   reinterpret_cast<void**>(&mapper)))) {
        REGFILTER2 filter{};
        filter.dwVersion = 1;
        filter.dwMerit = MERIT_DO_NOT_USE;
        entry.ok_ = SUCCEEDED(mapper->RegisterFilter(clsid, name.c_str(), nullptr, &category, nullptr, &filter));
        mapper->Release();
    }
    return entry;
}

CategoryEntry CategoryEntry::without_name(const GUID& category, const GUID& clsid) {
    CategoryEntry entry(category, clsid);
    entry.remove();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, instance_key(category, clsid).c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        const std::wstring clsid_value = guid_text(clsid);
        entry.ok_ = RegSetValueExW(key, L"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid_value.c_str()),
                                   static_cast<DWORD>((clsid_value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    return entry;
}

CategoryEntry::CategoryEntry(CategoryEntry&& other) noexcept
    : category_(other.category_), clsid_(other.clsid_), ok_(other.ok_) {
    other.ok_ = false;
}

CategoryEntry::~CategoryEntry() {
    if (ok_) remove();
}

void CategoryEntry::remove() { RegDeleteTreeW(HKEY_CLASSES_ROOT, instance_key(category_, clsid_).c_str()); }

}  // namespace vlx_test
