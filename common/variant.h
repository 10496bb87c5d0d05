// A VARIANT that is cleared when it goes out of scope.
#pragma once

#include <oleauto.h>

namespace vlx {

class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&value_); }
    ~ScopedVariant() { VariantClear(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* get() { return &value_; }
    const VARIANT& operator*() const { return value_; }

    // The string it holds, or null when it holds no string.
    const wchar_t* bstr() const { return value_.vt == VT_BSTR ? value_.bstrVal : nullptr; }

private:
    VARIANT value_;
};

}  // namespace vlx
