#include "enumerators.h"

#include "com_boundary.h"
#include "com_object.h"

#include <new>

namespace vlxcam {

namespace {

// The shared part of both enumerators: position, Skip and Reset over
// `count()` items.
template <class Interface, class Derived>
class ListEnumerator : public ComObject<Interface> {
public:
    STDMETHODIMP Skip(ULONG count) override {
        const ULONG size = static_cast<Derived*>(this)->count();
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

protected:
    ULONG position_ = 0;
};

class PinEnumerator final : public ListEnumerator<IEnumPins, PinEnumerator> {
public:
    PinEnumerator(IBaseFilter* filter, std::vector<IPin*> pins, ULONG position)
        : filter_(ComPtr<IBaseFilter>::share(filter)), pins_(std::move(pins)) {
        position_ = position;
    }
    ULONG count() const { return static_cast<ULONG>(pins_.size()); }

    STDMETHODIMP Next(ULONG wanted, IPin** pins, ULONG* fetched) override {
        if (!pins || (wanted != 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        while (given < wanted && position_ < count()) {
            pins[given] = pins_[position_++];
            pins[given++]->AddRef();
        }
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    STDMETHODIMP Clone(IEnumPins** out) override {
        return com_boundary([&] { return create_pin_enumerator(filter_.get(), pins_, position_, out); });
    }

private:
    ComPtr<IBaseFilter> filter_;
    std::vector<IPin*> pins_;  // owned by the filter
};

class MediaTypeEnumerator final : public ListEnumerator<IEnumMediaTypes, MediaTypeEnumerator> {
public:
    MediaTypeEnumerator(std::vector<AM_MEDIA_TYPE> types, ULONG position) : types_(std::move(types)) {
        position_ = position;
    }
    ~MediaTypeEnumerator() override {
        for (AM_MEDIA_TYPE& type : types_) vlx::free_media_type(type);
    }
    ULONG count() const { return static_cast<ULONG>(types_.size()); }
    // Takes over the types once the enumerator exists, so that a failed
    // allocation leaves them to the caller to free.
    void adopt(std::vector<AM_MEDIA_TYPE> types) { types_ = std::move(types); }

    STDMETHODIMP Next(ULONG wanted, AM_MEDIA_TYPE** types, ULONG* fetched) override {
        if (!types || (wanted != 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        while (given < wanted && position_ < count()) {
            AM_MEDIA_TYPE* copy = vlx::clone_media_type(types_[position_]);
            if (!copy) break;
            types[given++] = copy;
            ++position_;
        }
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** out) override {
        return com_boundary([&] { return clone(out); });
    }

private:
    HRESULT clone(IEnumMediaTypes** out) {
        std::vector<AM_MEDIA_TYPE> copies(types_.size());
        for (size_t i = 0; i < types_.size(); ++i) {
            if (FAILED(vlx::copy_media_type(copies[i], types_[i]))) {
                for (AM_MEDIA_TYPE& type : copies) vlx::free_media_type(type);
                return E_OUTOFMEMORY;
            }
        }
        return create_media_type_enumerator(std::move(copies), position_, out);
    }

    std::vector<AM_MEDIA_TYPE> types_;
};

}  // namespace

HRESULT create_pin_enumerator(IBaseFilter* filter, std::vector<IPin*> pins, ULONG position, IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) PinEnumerator(filter, std::move(pins), position);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT create_media_type_enumerator(std::vector<AM_MEDIA_TYPE> types, ULONG position, IEnumMediaTypes** out) {
    MediaTypeEnumerator* enumerator = out ? new (std::nothrow) MediaTypeEnumerator({}, position) : nullptr;
    if (!enumerator) {
        for (AM_MEDIA_TYPE& type : types) vlx::free_media_type(type);
        return out ? E_OUTOFMEMORY : E_POINTER;
    }
    enumerator->adopt(std::move(types));
    *out = enumerator;
    return S_OK;
}

}  // namespace vlxcam
