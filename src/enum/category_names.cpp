#include "enum/category_names.h"

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "common/variant.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

// The display name is CoTaskMem text of the caller's.
class TaskMemText {
public:
    TaskMemText() = default;
    ~TaskMemText() { CoTaskMemFree(text_); }
    TaskMemText(const TaskMemText&) = delete;
    TaskMemText& operator=(const TaskMemText&) = delete;
    LPOLESTR* put() { return &text_; }
    const wchar_t* get() const { return text_; }

private:
    LPOLESTR text_ = nullptr;
};

std::wstring display_name(IMoniker* moniker, OptionalContext context) {
    TaskMemText text;
    const auto call = [&] { return moniker->GetDisplayName(nullptr, nullptr, text.put()); };
    const HRESULT status = context.make("DevicePath.Moniker.GetDisplayName", call);
    return status == S_OK && text.get() ? std::wstring(text.get()) : std::wstring();
}

}  // namespace

std::wstring moniker_path(IMoniker* moniker, IPropertyBag* bag, OptionalContext display_name_context) {
    if (!moniker) return {};
    if (bag) {
        ScopedVariant path;
        platform_call("DevicePath.PropertyBag.Read", [&] { return bag->Read(L"DevicePath", path.get(), nullptr); });
        if (path.bstr() && *path.bstr()) return path.bstr();
    }
    return display_name(moniker, display_name_context);
}

int32_t visit_category_entries(const CLSID& category, const CategoryCalls& calls,
                               const std::function<void(const CategoryEntry&)>& visit) {
    ComPtr<ICreateDevEnum> device_enum;
    const HRESULT created = reported_call(calls.create, [&] {
        return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                device_enum.put_void());
    });
    if (created != S_OK) return calls.no_device_enum;

    // An empty category answers S_FALSE and no enumerator: the enumerator,
    // not the code, decides.
    ComPtr<IEnumMoniker> monikers;
    reported_call(calls.enumerate, [&] { return device_enum->CreateClassEnumerator(category, monikers.put(), 0); });
    if (!monikers) return calls.no_enumerator;

    reported_call(calls.reset, [&] { return monikers->Reset(); });

    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        if (!moniker) continue;
        ComPtr<IPropertyBag> bag;
        platform_call("Moniker.BindToStorage(PropertyBag)", [&] {
            return moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void());
        });
        // VT_EMPTY until Read fills it: a Read that fails leaves the VARIANT
        // untouched, and only an empty one is safe to clear then.
        ScopedVariant name;
        if (bag && calls.read.present()) {
            calls.read.make("Category.PropertyBag.Read", [&] { return bag->Read(L"FriendlyName", name.get(), nullptr); });
        }
        const std::wstring path = calls.display_name.present()
                                      ? moniker_path(moniker.get(), bag.get(), calls.display_name)
                                      : std::wstring();
        visit({name.bstr() ? name.bstr() : L"", path.c_str()});
    }
    return 0;
}

}  // namespace vlx
