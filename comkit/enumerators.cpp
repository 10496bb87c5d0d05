#include "comkit/enumerators.h"

#include "common/media_type.h"

#include <memory>

namespace vlxcom {

namespace {

// Position, Skip, Reset and Next over a list that clones share;
// `Traits::copy` hands out one item with a reference or a copy of its own.
template <class Interface, class Traits>
class ListEnumerator final : public ComObject<Interface> {
    using Item = typename Traits::Item;
    using Out = typename Traits::Out;

public:
    ListEnumerator(std::shared_ptr<const std::vector<Item>> items, ComPtr<IUnknown> owner, ULONG position)
        : items_(std::move(items)), owner_(std::move(owner)), position_(position) {}

    STDMETHODIMP Next(ULONG wanted, Out* out, ULONG* fetched) override {
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
    std::shared_ptr<const std::vector<Item>> items_;
    ComPtr<IUnknown> owner_;
    ULONG position_;
};

struct PinTraits {
    using Item = IPin*;
    using Out = IPin*;
    static bool copy(IPin* pin, IPin*& out) {
        pin->AddRef();
        out = pin;
        return true;
    }
};

// Types the list owns.
struct OwnedTypes : std::vector<AM_MEDIA_TYPE> {
    ~OwnedTypes() {
        for (AM_MEDIA_TYPE& type : *this) vlx::free_media_type(type);
    }
};

struct TypeTraits {
    using Item = AM_MEDIA_TYPE;
    using Out = AM_MEDIA_TYPE*;
    static bool copy(const AM_MEDIA_TYPE& type, AM_MEDIA_TYPE*& out) {
        out = vlx::clone_media_type(type);
        return out != nullptr;
    }
};

}  // namespace

HRESULT create_pin_enumerator(IBaseFilter* filter, std::vector<IPin*> pins, IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return com_guard([&] {
        auto items = std::make_shared<const std::vector<IPin*>>(std::move(pins));
        *out = new (std::nothrow)
            ListEnumerator<IEnumPins, PinTraits>(std::move(items), ComPtr<IUnknown>::share(filter), 0);
        return *out ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT create_media_type_enumerator(std::vector<AM_MEDIA_TYPE> types, IEnumMediaTypes** out) {
    OwnedTypes given;
    given.swap(types);
    if (!out) return E_POINTER;
    *out = nullptr;
    return com_guard([&] {
        auto owned = std::make_shared<OwnedTypes>();
        owned->swap(given);
        std::shared_ptr<const std::vector<AM_MEDIA_TYPE>> items(owned, owned.get());
        *out = new (std::nothrow) ListEnumerator<IEnumMediaTypes, TypeTraits>(std::move(items), nullptr, 0);
        return *out ? S_OK : E_OUTOFMEMORY;
    });
}

}  // namespace vlxcom
