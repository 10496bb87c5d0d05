#include "enumerators.h"

#include "common/media_type.h"

#include <memory>

namespace vlxtp {

namespace {

// Position, Skip, Reset and Next over `items_`; `Traits::copy` hands out one
// item with a reference or a copy of its own.
template <class Interface, class Item, class Traits>
class ListEnumerator final : public Interface {
public:
    ListEnumerator(std::shared_ptr<const std::vector<Item>> items, ComPtr<IUnknown> owner, ULONG position)
        : items_(std::move(items)), owner_(std::move(owner)), position_(position) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) return hand_out<Interface>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    VLXTP_REFCOUNTED

    STDMETHODIMP Next(ULONG wanted, Item* out, ULONG* fetched) override {
        if (!out || (wanted != 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        while (given < wanted && position_ < items_->size()) {
            if (!Traits::copy((*items_)[position_], out[given])) break;
            ++given;
            ++position_;
        }
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const ULONG size = static_cast<ULONG>(items_->size());
        if (count > size - position_) {
            position_ = size;
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) ListEnumerator(items_, owner_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    RefCount refs_;
    std::shared_ptr<const std::vector<Item>> items_;
    ComPtr<IUnknown> owner_;
    ULONG position_;
};

struct PinTraits {
    static bool copy(IPin* pin, IPin*& out) {
        pin->AddRef();
        out = pin;
        return true;
    }
};

// The list owns its types; every Next hands out a fresh CoTaskMem copy.
struct OwnedTypes : std::vector<AM_MEDIA_TYPE*> {
    ~OwnedTypes() {
        for (AM_MEDIA_TYPE* type : *this) vlx::delete_media_type(type);
    }
};

struct TypeTraits {
    static bool copy(AM_MEDIA_TYPE* type, AM_MEDIA_TYPE*& out) {
        out = vlx::clone_media_type(*type);
        return out != nullptr;
    }
};

}  // namespace

HRESULT create_pin_enumerator(IBaseFilter* filter, std::vector<IPin*> pins, IEnumPins** out) {
    if (!out) return E_POINTER;
    auto items = std::make_shared<const std::vector<IPin*>>(std::move(pins));
    *out = new (std::nothrow)
        ListEnumerator<IEnumPins, IPin*, PinTraits>(std::move(items), ComPtr<IUnknown>::share(filter), 0);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT create_media_type_enumerator(const std::vector<const AM_MEDIA_TYPE*>& types, IEnumMediaTypes** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto owned = std::make_shared<OwnedTypes>();
    for (const AM_MEDIA_TYPE* type : types) {
        AM_MEDIA_TYPE* copy = vlx::clone_media_type(*type);
        if (!copy) return E_OUTOFMEMORY;
        owned->push_back(copy);
    }
    std::shared_ptr<const std::vector<AM_MEDIA_TYPE*>> items(owned, owned.get());
    *out = new (std::nothrow) ListEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*, TypeTraits>(std::move(items), nullptr, 0);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace vlxtp
