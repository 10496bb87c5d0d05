#include "enum/category_names.h"

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "common/variant.h"
#include "library/platform_call.h"

namespace vlx {

int32_t visit_category_names(const CLSID& category, const CategoryCalls& calls,
                             const std::function<void(const wchar_t*)>& visit) {
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
        if (bag) reported_call(calls.read, [&] { return bag->Read(L"FriendlyName", name.get(), nullptr); });
        visit(name.bstr() ? name.bstr() : L"");
    }
    return 0;
}

}  // namespace vlx
