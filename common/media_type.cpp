#include "common/media_type.h"

#include <objbase.h>

#include <cstring>

namespace vlx {

void free_media_type(AM_MEDIA_TYPE& type) noexcept {
    CoTaskMemFree(type.pbFormat);
    if (type.pUnk) type.pUnk->Release();
    type = AM_MEDIA_TYPE{};
}

void delete_media_type(AM_MEDIA_TYPE* type) noexcept {
    if (!type) return;
    free_media_type(*type);
    CoTaskMemFree(type);
}

HRESULT copy_media_type(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source) noexcept {
    target = source;
    target.pbFormat = nullptr;
    if (source.cbFormat != 0 && source.pbFormat) {
        target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
        if (!target.pbFormat) {
            target = AM_MEDIA_TYPE{};
            return E_OUTOFMEMORY;
        }
        std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
    } else {
        target.cbFormat = 0;
    }
    if (target.pUnk) target.pUnk->AddRef();
    return S_OK;
}

bool same_media_type(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) noexcept {
    if (!IsEqualGUID(a.majortype, b.majortype) || !IsEqualGUID(a.subtype, b.subtype) ||
        !IsEqualGUID(a.formattype, b.formattype) || a.bFixedSizeSamples != b.bFixedSizeSamples ||
        a.bTemporalCompression != b.bTemporalCompression || a.lSampleSize != b.lSampleSize ||
        a.cbFormat != b.cbFormat)
        return false;
    return a.cbFormat == 0 || (a.pbFormat && b.pbFormat && std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}

AM_MEDIA_TYPE* clone_media_type(const AM_MEDIA_TYPE& source) noexcept {
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy) return nullptr;
    if (FAILED(copy_media_type(*copy, source))) {
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
}

}  // namespace vlx
