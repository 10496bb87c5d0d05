// The IUnknown part of the camera's single-interface COM objects (class
// factory, enumerators, property page): reference count, QueryInterface for
// IUnknown and the one interface, and the live-object count.
#pragma once

#include "module.h"

#include <windows.h>

#include <atomic>

namespace vlxcam {

template <class Interface>
class ComObject : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    LiveObject live_;
    std::atomic<ULONG> refs_{1};
};

// A new object handed out through `iid`, as factories do. A constructor
// that throws (its members allocate) answers E_OUTOFMEMORY too.
template <class Object, class... Args>
HRESULT create_object(REFIID iid, void** out, Args&&... args) {
    if (!out) return E_POINTER;
    *out = nullptr;
    Object* object = nullptr;
    try {
        object = new Object(std::forward<Args>(args)...);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace vlxcam
